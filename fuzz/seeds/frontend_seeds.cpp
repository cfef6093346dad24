// Seeds of the front-end harnesses: the demo data's aerovant.ini with strings.ini, a damaged
// settings file, another language, and characters.ini with a full roster.
#include "fuzz/seeds/demo_files.h"
#include "fuzz/seeds/seed_set.h"

#include <string>

using fuzzing::FuzzInputWriter;

FUZZ_SEEDS(frontend_settings_ini) {
    const std::string settings = fuzzing::demo_file("aerovant.ini");
    const std::string strings = fuzzing::demo_file("Language/english/strings.ini");
    seeds.add("demo", FuzzInputWriter().byte(0).part(settings).rest(strings));
    seeds.add("demo_cheats", FuzzInputWriter().byte(1).part(settings).rest(strings));
    seeds.add("damaged", FuzzInputWriter().byte(0).part("[graphics]\nshadows=0\n[broken\nkey=1\n"
                                                        "not a line\n[sound]\nchannel0vol=0.2\n")
                             .rest(strings));
    seeds.add("german", FuzzInputWriter().byte(0).part("[language]\nlanguage=german\n[server]\n"
                                                       "ipaddress=10.9.8.7\n[cheat]\nboost=1\n")
                            .rest("[strings]\ntitle=Aerovant auf Deutsch\n\"quoted key\" = "
                                  "\"Quoted value\"\n\"half=\"open\n\"\"=empty key\n"));
}

FUZZ_SEEDS(frontend_characters_ini) {
    seeds.add("demo", fuzzing::demo_file("characters.ini"));
    std::string roster;
    for (int slot = 1; slot <= 7; ++slot)
        roster += "[Character" + std::to_string(slot) + "]\nforenames=First" + std::to_string(slot) +
                  "\nsirname=Last\nfavouriteplane=fokkertriplane\nalliedmissionsc=1 0 1 0 0 0 0 0 0 1\n"
                  "centralmissionsc=0 1 0 0 0 0 0 0 0 0\nalliedmission=3\nvideomode=2\npicture=4\n"
                  "score=120\ncurrentcampaign=1\nmission1=5\ngermankills=3\nbritkills=2\n";
    seeds.add("full_roster", roster + "[meta]\ncurrent=4\n");
}
