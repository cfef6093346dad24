// The description records from which a channel loads the sounds it makes itself: a function
// sound over a base sound (SOUND_INT_FUNCTION_DESC) and a meta sound made of table sounds
// (SOUND_INT_META_DESC). They live only for the call; the sound copies what it keeps.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/containers/property_sheet.h"
#include "framework/platform/file_storage.h"
#include "sound/base/sound.h"

struct SoundFunctionDesc {
    IPropertySheet* sheet; // positioned on the sound's section
    ISound* base;          // the sound the expression drives
    IFileStorage* storage; // opens "FunctionFile"
    const char* directory; // the sound directory, prefixed to file names
};

struct SoundMetaDesc {
    IPropertySheet* sheet; // positioned on the sound's section
    ICOMHash* sounds;      // the set's sound table, in which members are looked up by name
    IFileStorage* storage; // opens "FunctionFile" and "SoundFile"
    const char* directory; // the sound directory, prefixed to file names
};
