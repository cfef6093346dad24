// Seeds of the framework harnesses: INI texts, IFF files, streamer texts and archives written
// by the framework's own writers, and lexer rules and expressions as the program uses them.
#include "framework/containers/property_sheet.h"
#include "framework/io/iff.h"
#include "fuzz/archivable_node.h"
#include "fuzz/framework_harness.h"
#include "fuzz/object_graph.h"
#include "fuzz/seeds/seed_set.h"
#include "fuzz/streamable_node.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using fuzzing::FuzzInputWriter;
using fuzzing::require;

template <class T>
ComRef<T> created(const GUID& clsid, const GUID& iid) {
    ComRef<T> object;
    require(OmCreate(clsid, iid, object.put()) >= 0, "a seed object is created");
    return object;
}

// The bytes an IFF writes for the objects, one after another.
std::string iff_written(std::initializer_list<IUnknown*> objects) {
    auto stream = fuzzing::stream_of(std::string_view());
    ComRef<IIFF> file;
    require(OmNewIFF(file.put()) >= 0, "an IFF is created");
    file->SetStream(OM_IFF_WRITE, stream.get());
    for (IUnknown* object : objects) require(file->TransferObject(&object) >= 0, "IFF writes");
    return fuzzing::bytes_of(stream.get());
}

} // namespace

FUZZ_SEEDS(property_sheet_load) {
    fuzzing::FrameworkRun framework;
    auto sheet = created<IPropertySheet>(CLSID_PropertySheet, IID_IPropertySheet);
    sheet->UseSection("graphics");
    sheet->SetString("width", "640");
    sheet->SetString("fullscreen", "1");
    sheet->UseSection("server");
    sheet->SetString("address", "localhost:6113");
    sheet->SetString("name", "a name with blanks");
    sheet->UseSection("");
    sheet->SetString("top", "level");
    auto stream = fuzzing::stream_of(std::string_view());
    require(sheet->Save(stream.get()) >= 0, "a sheet saves");
    seeds.add("saved", fuzzing::bytes_of(stream.get()));
    seeds.add("hand_written", "# settings\r\n[ Plane ] trailing\r\n\tspeed = 120 \r\n"
                              "wing=upper = lower\r\nalone\r\n[Plane]\r\nspeed=130\r\n"
                              "; not a comment\r\n[]\r\n=empty key\r\n");
    seeds.add("open_header", "a=1\n[unterminated\nb=2\n");
}

FUZZ_SEEDS(iff_read) {
    fuzzing::FrameworkRun framework;
    ComRef<IInt> number;
    OmNewInt(-7, number.put());
    ComRef<IString> text;
    OmNewString("wing", text.put());
    ComRef<IReal> real;
    OmNewReal(2.5f, real.put());
    ComRef<IGuidValue> guid;
    OmNewGuid(CLSID_IFF, guid.put());
    ComRef<ISimpleArray> pairs;
    OmNewSimpleArray(pairs.put());
    pairs->Init(3, 2);
    const int32_t values[] = {1, 2, 3, 4, 5, 6};
    for (int i = 0; i < 3; ++i) pairs->Append(values + 2 * i);
    ComRef<ISimpleArray> bytes;
    OmNewSimpleArray(bytes.put());
    bytes->Init(0, 3);
    bytes->Append("abc");
    ComRef<IObjHash> hash;
    OmCreateObjHash(nullptr, hash.put());
    hash->SetInt("count", 3);
    hash->SetString("name", "camel");
    number->AddRef();
    hash->Set("shared", number.get());
    auto plain = created<ICOMHash>(CLSID_COMHash, IID_ICOMHash);
    real->AddRef();
    plain->Set("r", real.get());
    ComRef<ICOMArray> array;
    OmNewCOMArray(array.put());
    for (IUnknown* member :
         {static_cast<IUnknown*>(number.get()), static_cast<IUnknown*>(text.get()),
          static_cast<IUnknown*>(pairs.get()), static_cast<IUnknown*>(hash.get()),
          static_cast<IUnknown*>(plain.get())}) {
        member->AddRef();
        array->Append(member);
    }
    array->Append(nullptr);

    const auto with_mode = [](uint8_t mode, const std::string& file) {
        return FuzzInputWriter().byte(mode).rest(file);
    };
    seeds.add("values", with_mode(0, iff_written({number.get(), text.get(), real.get(), guid.get(),
                                                  nullptr})));
    seeds.add("simple_arrays", with_mode(0, iff_written({pairs.get(), bytes.get()})));
    seeds.add("graph", with_mode(0, iff_written({array.get()})));
    // An array that holds itself: the cycle comes back as a reference.
    array->AddRef();
    array->Append(array.get());
    seeds.add("cycle", with_mode(0, iff_written({array.get(), hash.get()})));
    array->RemoveAll();

    // Chunk operations (low 3 bits: begin, end, peek, skip, transfer, read, seek, object)
    // over nested chunks written by the IFF itself.
    auto stream = fuzzing::stream_of(std::string_view());
    ComRef<IIFF> file;
    OmNewIFF(file.put());
    file->SetStream(OM_IFF_WRITE, stream.get());
    file->BeginChunk(om_chunk_tag("FORM"));
    file->Transfer(const_cast<char*>("head"), 4);
    IUnknown* member = number.get();
    file->TransferObject(&member);
    file->BeginChunk(om_chunk_tag("BODY"));
    file->Transfer(const_cast<char*>("0123456789"), 10);
    file->EndChunk();
    file->EndChunk();
    file.reset();
    const uint8_t operations[] = {0 | 5 << 3, 2, 4 | 1 << 3, 7, 0, 5 | 2 << 3, 6 | 3 << 3, 1, 1, 3};
    seeds.add("chunk_walk",
              FuzzInputWriter().byte(1).part(operations).rest(fuzzing::bytes_of(stream.get())));
}

FUZZ_SEEDS(object_streamer) {
    fuzzing::FrameworkRun framework;
    require(fuzz_register_stream_node_class() >= 0, "the node class registers");
    auto stream = fuzzing::stream_of(std::string_view());
    ComRef<IObjectStreamer> streamer;
    require(fuzz_new_streamer(streamer.put()) >= 0, "a streamer is created");
    streamer->SetStream(stream.get());
    streamer->WriteComment(nullptr, "values of every kind");
    ComRef<IInt> number;
    OmNewInt(42, number.put());
    ComRef<IReal> real;
    OmNewReal(-0.75f, real.put());
    ComRef<IString> text;
    OmNewString("two words\tand \\ #$", text.put());
    auto inner = created<IFuzzStreamNode>(CLSID_FuzzStreamNode, IID_IFuzzStreamNode);
    inner->number() = 7;
    OmNewString("", &inner->name());
    real->AddRef();
    inner->child() = real.get();
    auto node = created<IFuzzStreamNode>(CLSID_FuzzStreamNode, IID_IFuzzStreamNode);
    node->number() = -3;
    OmNewString("outer node", &node->name());
    inner->AddRef();
    node->child() = inner.get();
    for (IUnknown* value :
         {static_cast<IUnknown*>(number.get()), static_cast<IUnknown*>(real.get()),
          static_cast<IUnknown*>(text.get()), static_cast<IUnknown*>(node.get())}) {
        fuzz_write_keyed_value(streamer.get(), value);
        streamer->NewLine();
    }
    seeds.add("values", FuzzInputWriter().part("").rest(fuzzing::bytes_of(stream.get())));

    // A keyword definition line, then the keyword it defines.
    auto defined = fuzzing::stream_of(std::string_view());
    streamer->SetStream(defined.get());
    defined->Write("$", 1, nullptr);
    streamer->WriteToken(nullptr, "plane");
    streamer->WriteSpace();
    streamer->WriteKeywordDefinition("node");
    streamer->NewLine();
    streamer->WriteToken(nullptr, "plane");
    ComRef<IStreamable> streamable;
    node->QueryInterface(IID_IStreamable, streamable.put_void());
    streamable->Write(streamer.get());
    streamer->NewLine();
    seeds.add("definition", FuzzInputWriter().part("").rest(fuzzing::bytes_of(defined.get())));

    // Operations (low 3 bits: token, string, int, real, keyword, value, block, expect).
    auto block = fuzzing::stream_of(std::string_view());
    streamer->SetStream(block.get());
    streamer->WriteToken(nullptr, "word");
    streamer->WriteString(nullptr, "escaped text");
    streamer->WriteInt(nullptr, 12);
    streamer->WriteReal(nullptr, 0.5f);
    streamer->NewLine();
    streamer->Indent();
    std::vector<uint8_t> bytes(100);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37);
    streamer->WriteBlock(bytes.data(), static_cast<uint32_t>(bytes.size()));
    const uint8_t operations[] = {0, 1, 2, 3, 7 | 0 << 3, 6 | 16 << 3, 7 | 1 << 3};
    seeds.add("block", FuzzInputWriter().part(operations).rest(fuzzing::bytes_of(block.get())));
}

FUZZ_SEEDS(archive_read) {
    fuzzing::FrameworkRun framework;
    require(fuzz_register_archive_node_class() >= 0, "the node class registers");
    auto archiver = created<IArchiver>(CLSID_Archiver, IID_IArchiver);
    auto leaf = created<IFuzzArchiveNode>(CLSID_FuzzArchiveNode, IID_IFuzzArchiveNode);
    leaf->number() = 6;
    leaf->real() = 0.25f;
    std::strcpy(leaf->name(), "leaf");
    auto root = created<IFuzzArchiveNode>(CLSID_FuzzArchiveNode, IID_IFuzzArchiveNode);
    root->number() = -5;
    root->real() = 1.5f;
    std::strcpy(root->name(), "root node");
    std::memcpy(root->bytes(), "\x01\x7f\xff", 3);
    root->id() = CLSID_Archiver;
    leaf->AddRef();
    root->children()[0] = leaf.get();
    leaf->AddRef();
    root->children()[1] = leaf.get();

    for (bool binary : {false, true}) {
        auto stream = fuzzing::stream_of(std::string_view());
        ComRef<IArchive> archive;
        require((binary
                     ? archiver->CreateBinaryArchive(OM_ARCHIVE_WRITE, stream.get(), archive.put())
                     : archiver->CreateArchive(OM_ARCHIVE_WRITE, stream.get(), archive.put())) >= 0,
                "an archive is created");
        IUnknown* objects[] = {root.get(), nullptr, leaf.get()};
        archive->Write(OM_ARCHIVE_OBJECT, objects, sizeof objects);
        const std::string form = binary ? "binary" : "text";
        seeds.add(form + "_graph",
                  FuzzInputWriter().byte(binary).part("").rest(fuzzing::bytes_of(stream.get())));

        // Plain values: transfer bytes are the type (low 3 bits) and the count less one.
        auto values = fuzzing::stream_of(std::string_view());
        archive.reset();
        if (binary)
            archiver->CreateBinaryArchive(OM_ARCHIVE_WRITE, values.get(), archive.put());
        else
            archiver->CreateArchive(OM_ARCHIVE_WRITE, values.get(), archive.put());
        float real = -2.5f;
        int32_t numbers[2] = {17, -1};
        char text[16] = "a string";
        uint8_t bytes[3] = {0, 0x80, 0xff};
        GUID guid = CLSID_Archiver;
        archive->Write(OM_ARCHIVE_FLOAT, &real, 4);
        archive->Write(OM_ARCHIVE_INT, numbers, sizeof numbers);
        archive->Write(OM_ARCHIVE_STRING, text, sizeof text);
        archive->Write(OM_ARCHIVE_BYTE, bytes, sizeof bytes);
        archive->Write(OM_ARCHIVE_GUID, &guid, sizeof guid);
        const uint8_t transfers[] = {OM_ARCHIVE_FLOAT, OM_ARCHIVE_INT | 1 << 3,
                                     OM_ARCHIVE_STRING | 1 << 3, OM_ARCHIVE_BYTE | 2 << 3,
                                     OM_ARCHIVE_GUID};
        seeds.add(form + "_values", FuzzInputWriter().byte(binary).part(transfers).rest(
                                        fuzzing::bytes_of(values.get())));
    }
}

FUZZ_SEEDS(lex_match) {
    const std::string definitions = "L [a-zA-Z_]\nD [0-9]\nE [eE][-+]?{D}+\n";
    const std::string rules = "{L}({L}|{D})*\n{D}+(\\.{D}*)?({E})?\n[ \\t\\r\\n]+\n"
                              "\"[^\"\\n]*\"\n^#.*$\n(==|!=|<=|>=|&&|\\|\\|)\n";
    const std::string text = "# a comment\nx1 = 42.5e3 * (y + \"str\") >= 7 && done\n";
    seeds.add("grammar", FuzzInputWriter().byte(1).part(definitions).part(rules).rest(text));
    seeds.add("nfa_only", FuzzInputWriter().byte(0).part(definitions).part(rules).rest(text));
    seeds.add("classes", FuzzInputWriter()
                             .byte(1)
                             .part("")
                             .part("[^a-c]+\na|b|c\n(ab)*c?\n.\n[-x]\n")
                             .rest("abcabx--zz\n"));
}

FUZZ_SEEDS(expression) {
    seeds.add("arithmetic", "(2 + 3) * 4 - 10 / 4 % 3");
    seeds.add("statements", "a = 1; b = a + 1; x = a * b + y; -x");
    seeds.add("functions", "pow(2, 3) + sin(90) + sqrt(16) + abs(-3) + range(5, 3, 1) + "
                           "wrap(370, 360, 0)");
    seeds.add("logic", "!0 + 1 < 2 == 1 && 3 > 2 || 0");
    seeds.add("context", "count * speed + name");
    // Writes a name the context holds, which the clone shares.
    seeds.add("context-assignment", "count=count 2");
    seeds.add("numbers", "1. + .5 + 2e3 + 2.5E-1f + 7f + 12UL + 0x10");
    seeds.add("random", "random(1, 6)");
}
