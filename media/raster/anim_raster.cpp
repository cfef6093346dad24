// AnimRaster and AnimRasterCreate: frames kept under "default" and "frame<index>", the frame
// advance on the OS clock, frame-by-frame blits between animated rasters, and the description
// that wraps each new raster as the default frame of an animated one.
#include "media/raster/anim_raster.h"

#include "framework/core/memory.h"
#include "framework/platform/os_service.h"

#include <map>
#include <string>

namespace {

template <class T>
void release(T*& held) {
    if (held) held->Release();
    held = nullptr;
}

std::string key_of(uint32_t index) {
    return "frame" + std::to_string(index);
}

void free_frame(AnimFrame* frame) {
    if (!frame) return;
    if (frame->raster) frame->raster->Release();
    OmFreeMemory(frame);
}

AnimFrame* new_frame(uint32_t index, IRaster* raster, uint32_t delay, uint32_t next) {
    auto* frame = static_cast<AnimFrame*>(OmAllocMemory(sizeof(AnimFrame)));
    if (!frame) return nullptr;
    *frame = {index, raster, delay, next};
    if (raster) raster->AddRef();
    return frame;
}

class AnimRaster final : public OmObject<AnimRaster, IRaster, IAnimRaster> {
public:
    ~AnimRaster() {
        if (locked_ && current_ && current_->raster) current_->raster->Unlock();
        for (auto& [key, frame] : frames_) free_frame(frame);
        release(description_);
        if (os_acquired_) OmOSRelease();
    }

    OmResult init() {
        OmResult r = OmOSAcquire();
        if (r < 0) return r;
        os_acquired_ = true;
        last_change_ = OmOSGetTime();
        return OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IRaster, static_cast<IRaster*>(this)},
                                   {&IID_IAnimRaster, static_cast<IAnimRaster*>(this)}});
    }

    // IRaster: the current frame's raster.
    uint32_t GetWidth() override { return raster() ? raster()->GetWidth() : 0; }
    uint32_t GetHeight() override { return raster() ? raster()->GetHeight() : 0; }
    uint32_t GetFormat() override { return raster() ? raster()->GetFormat() : 0; }
    OmResult Lock(uint32_t mode, void** pixels, int32_t* stride) override {
        Update();
        if (!raster()) return OM_E_FAIL;
        OmResult r = raster()->Lock(mode, pixels, stride);
        if (r >= 0) locked_ = true;
        return r;
    }
    OmResult Unlock() override {
        if (!raster()) return OM_E_FAIL;
        locked_ = false;
        return raster()->Unlock();
    }
    OmResult FillRect(const OmRect* rect, const uint32_t* colour) override {
        return raster() ? raster()->FillRect(rect, colour) : OM_E_FAIL;
    }
    OmResult Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) override;
    OmResult SetProperty(uint32_t id, intptr_t value) override {
        for (auto& [key, frame] : frames_) frame->raster->SetProperty(id, value);
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        return raster() ? raster()->GetProperty(id, value) : OM_E_FAIL;
    }
    OmResult BlitConvert(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect,
                         uint32_t flags) override {
        return raster() ? raster()->BlitConvert(dest_rect, source, source_rect, flags) : OM_E_FAIL;
    }

    // IAnimRaster.
    OmResult Initialise() override { return OM_S_OK; }
    OmResult Update() override {
        uint32_t now = OmOSGetTime();
        if (!current_ || locked_ || now - last_change_ <= current_->delay ||
            current_->next == current_->index)
            return OM_S_OK;
        last_change_ = now;
        auto found = frames_.find(key_of(current_->next));
        if (found != frames_.end()) current_ = found->second;
        return OM_S_OK;
    }
    OmResult AddFrame(AnimFrame* frame) override {
        if (!frame) return OM_E_FAIL;
        if (!frame->raster) {
            OmFreeMemory(frame);
            return OM_E_FAIL;
        }
        store(key_of(frame->index), frame);
        return OM_S_OK;
    }
    OmResult SelectFrame(uint32_t index) override {
        auto found = frames_.find(key_of(index));
        // The default frame carries index 0: it answers for a frame 0 never added.
        if (found == frames_.end() && index == 0) found = frames_.find("default");
        if (found == frames_.end()) return OM_E_FAIL;
        // A locked raster stays on the frame it locked.
        if (locked_) return OM_E_FAIL;
        current_ = found->second;
        last_change_ = OmOSGetTime();
        return OM_S_OK;
    }
    OmResult SetDescription(IRasterCreate* description) override {
        if (description) description->AddRef();
        release(description_);
        description_ = description;
        return OM_S_OK;
    }
    OmResult SetDefault(IRaster* raster) override {
        if (!raster || locked_) return OM_E_FAIL;
        AnimFrame* frame = new_frame(0, raster, 0, 0);
        if (!frame) return OM_E_OUTOFMEMORY;
        store("default", frame);
        current_ = frame;
        return OM_S_OK;
    }

private:
    IRaster* raster() const { return current_ ? current_->raster : nullptr; }

    // Stores a record under the key; a record it replaces is freed (the current frame moves to
    // the new record).
    void store(const std::string& key, AnimFrame* frame) {
        AnimFrame*& slot = frames_[key];
        if (slot && slot != frame) {
            if (current_ == slot) current_ = frame;
            free_frame(slot);
        }
        slot = frame;
        if (!current_) current_ = frame;
    }

    std::string current_key() const {
        for (const auto& [key, frame] : frames_)
            if (frame == current_) return key;
        return {};
    }

    uint32_t last_change_ = 0;
    AnimFrame* current_ = nullptr;
    std::map<std::string, AnimFrame*> frames_;
    bool locked_ = false;
    IRasterCreate* description_ = nullptr;
    bool os_acquired_ = false;
};

OmResult AnimRaster::Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) {
    if (!source) return OM_E_FAIL;
    IAnimRaster* animated = nullptr;
    if (source->QueryInterface(IID_IAnimRaster, reinterpret_cast<void**>(&animated)) < 0 ||
        !animated) {
        return raster() ? raster()->Blit(dest_rect, source, source_rect) : OM_E_FAIL;
    }
    auto* from = static_cast<AnimRaster*>(animated);
    OmResult result = OM_S_OK;
    if (from != this) {
        for (const auto& [key, frame] : from->frames_) {
            auto found = frames_.find(key);
            if (found != frames_.end()) {
                AnimFrame* to = found->second;
                OmResult r = to->raster->Blit(dest_rect, frame->raster, source_rect);
                if (r < 0) result = r;
                to->index = frame->index;
                to->delay = frame->delay;
                to->next = frame->next;
                continue;
            }
            if (!description_) {
                result = OM_E_FAIL;
                continue;
            }
            IRaster* made = nullptr;
            OmResult r = description_->CreateRaster(&made);
            if (r < 0) {
                result = r;
                continue;
            }
            r = made->Blit(dest_rect, frame->raster, source_rect);
            if (r < 0) result = r;
            AnimFrame* copy = new_frame(frame->index, made, frame->delay, frame->next);
            made->Release();
            if (!copy) {
                result = OM_E_OUTOFMEMORY;
                continue;
            }
            store(key_of(frame->index), copy);
        }
        auto found = frames_.find(from->current_key());
        if (found != frames_.end() && !locked_) current_ = found->second;
    }
    animated->Release();
    return result;
}

class AnimRasterCreate final : public OmObject<AnimRasterCreate, IRasterCreate, IAnimRasterCreate> {
public:
    ~AnimRasterCreate() { release(inner_); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(
            iid, out,
            {{&IID_IRasterCreate, static_cast<IRasterCreate*>(this)},
             {&IID_IAnimRasterCreate, static_cast<IAnimRasterCreate*>(this)}});
    }

    OmResult Reset() override { return inner_ ? inner_->Reset() : OM_E_FAIL; }
    OmResult CreateRaster(IRaster** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!inner_) return OM_E_FAIL;
        inner_->Reset();
        AnimRaster* animated = nullptr;
        OmResult r = om_new_component(&animated);
        if (r < 0) return r;
        animated->SetDescription(inner_);
        IRaster* first = nullptr;
        if ((r = inner_->CreateRaster(&first)) < 0) {
            static_cast<IRaster*>(animated)->Release();
            return r;
        }
        r = animated->SetDefault(first);
        first->Release();
        if (r < 0) {
            static_cast<IRaster*>(animated)->Release();
            return r;
        }
        *out = animated;
        return OM_S_OK;
    }
    OmResult SetProperty(uint32_t id, intptr_t value) override {
        return inner_ ? inner_->SetProperty(id, value) : OM_E_FAIL;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        return inner_ ? inner_->GetProperty(id, value) : OM_E_FAIL;
    }
    OmResult IsPropertySet(uint32_t id) override { return inner_ ? inner_->IsPropertySet(id) : 0; }
    OmResult Clear() override { return inner_ ? inner_->Clear() : OM_E_FAIL; }
    OmResult Clone(IRasterCreate** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!inner_) return OM_E_FAIL;
        IRasterCreate* copy = nullptr;
        OmResult r = inner_->Clone(&copy);
        if (r < 0) return r;
        r = OmNewAnimRasterCreate(copy, out);
        copy->Release();
        return r;
    }
    OmResult SetPropertyFixed(uint32_t id, uint32_t on) override {
        return inner_ ? inner_->SetPropertyFixed(id, on) : OM_E_FAIL;
    }
    OmResult IsPropertyFixed(uint32_t id) override {
        return inner_ ? inner_->IsPropertyFixed(id) : 0;
    }

    OmResult Initialise() override { return OM_S_OK; }
    OmResult GetDescription(IRasterCreate** out) override {
        if (!out) return OM_E_FAIL;
        *out = inner_;
        if (inner_) inner_->AddRef();
        return OM_S_OK;
    }
    OmResult SetDescription(IRasterCreate* description) override {
        if (description) description->AddRef();
        release(inner_);
        inner_ = description;
        return OM_S_OK;
    }

private:
    IRasterCreate* inner_ = nullptr;
};

const OmClassRecord raster_classes[] = {
    {&CLSID_AnimRaster, nullptr, nullptr, OmCreateComponent<AnimRaster>, "AnimRaster"},
};
const OmClassRecord create_classes[] = {
    {&CLSID_AnimRasterCreate, nullptr, nullptr, OmCreateComponent<AnimRasterCreate>,
     "AnimRasterCreate"},
};

} // namespace

OmResult OmNewAnimRasterCreate(IRasterCreate* inner, IRasterCreate** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    AnimRasterCreate* made = nullptr;
    OmResult r = om_new_component(&made);
    if (r < 0) return r;
    made->SetDescription(inner);
    *out = made;
    return OM_S_OK;
}

OM_DEFINE_MODULE(AnimRaster, raster_classes)
OM_DEFINE_MODULE(AnimRasterCreate, create_classes)
