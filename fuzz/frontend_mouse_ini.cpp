// Fuzzes mouse.ini with its picture: MousePointer::Load from the storage in memory (the
// picture served under every name the dictionary offers, in every picture format the image
// service reads), then every frame requested, the animation stepped and each frame blitted
// into a small 16-bit target at a position near its edges, with the menu's scale parameter.
// Checks: a load that fails leaves the pointer as it was (its frame count and frame); the
// current frame is always one of the file's frames (or 0); nothing is drawn outside the target
// (ASan); blocks balance.
//
// Input: a byte of position (low nibble x, high nibble y, in steps of 8 pixels around the
// target), mouse.ini as a part, and as the rest the picture, served as "pointer.<ext>" for
// bmp, ras, png, jpg and ini, and as "Ui/pointer.bmp" as the demo data names it.
#include "fuzz/data_harness.h"
#include "media/raster/image_processor.h"
#include "media/raster/mouse_pointer.h"
#include "media/raster/raster.h"

using fuzzing::require;

namespace {

constexpr int32_t kTargetWidth = 64, kTargetHeight = 48;

struct Fixture {
    ComRef<IRasterCreate> description;
    ComRef<IRaster> target;
    Fixture() {
        fuzzing::start_data_framework();
        require(OmNewRasterDescription(description.put()) >= 0, "a raster description");
        description->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB565);
        require(OmNewMemoryRaster(kTargetWidth, kTargetHeight, OM_FORMAT_RGB565, target.put()) >= 0,
                "a target raster");
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    const uint8_t place = input.byte();
    const auto ini = input.part();
    const auto picture = input.rest();
    auto& files = fuzzing::shared_files();
    files.reset();
    files.put("mouse.ini", ini);
    for (const char* name : {"pointer.bmp", "pointer.ras", "pointer.png", "pointer.jpg",
                             "pointer.ini", "Ui/pointer.bmp"})
        files.put(name, picture);
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        ComRef<IMousePointer> pointer;
        require(OmCreate(CLSID_MousePointer, IID_IMousePointer, pointer.put()) >= 0, "a pointer");
        pointer->SetTarget(f.target.get());
        pointer->SetParameter(16);
        pointer->SetFrame(0);
        const int32_t before = pointer->GetFrame();
        if (pointer->Load("mouse.ini", f.description.get()) < 0) {
            require(pointer->GetFrame() == before, "a failed load keeps the pointer's frame");
        } else {
            pointer->SetPosition((place & 15) * 8 - 32, (place >> 4) * 8 - 32);
            for (int32_t frame = -1; frame < 12; ++frame) {
                pointer->SetFrame(frame);
                require(pointer->GetFrame() >= 0, "the frame is one of the file's");
                pointer->Draw();
                pointer->Update(frame * 100000);
                pointer->Draw();
                pointer->MovePosition(7, 5);
            }
        }
    }
    files.reset();
    return 0;
}
