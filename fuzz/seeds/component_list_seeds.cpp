// Seeds of the component list harness: dlls.ini texts as users write them.
#include "fuzz/seeds/seed_set.h"

#include <string>

FUZZ_SEEDS(component_list) {
    using fuzzing::FuzzInputWriter;
    seeds.add("typical", FuzzInputWriter().byte(0).rest("# extra components\n"
                                                        "libs/extra_sound.so\n"
                                                        "\n"
                                                        " indented.so\n"
                                                        "/opt/corvel/abs.so\n"));
    seeds.add("crlf_and_tabs", FuzzInputWriter().byte(0).rest("a.so\r\n\tb.so\r\nc.so"));
    seeds.add("long_line", FuzzInputWriter().byte(0).rest(std::string(300, 'x') + "\nshort\n"));
    seeds.add("small_buffer", FuzzInputWriter().byte(8).rest("twelve chars\nfour\n\xe9\x81\x7f"));
}
