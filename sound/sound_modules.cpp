// The sound group's register list.
#include "sound/sound_modules.h"

#include "sound/base/base_sound.h"
#include "sound/base/base_sound_control.h"
#include "sound/base/base_sound_create.h"
#include "sound/channel/function_sound_control.h"
#include "sound/channel/limiter_sound_control.h"
#include "sound/channel/meta_sound_control.h"
#include "sound/channel/meta_sound_sound_control.h"
#include "sound/channel/placed_sound_control.h"
#include "sound/channel/priority_sound_control.h"
#include "sound/channel/queued_sound_control.h"
#include "sound/channel/sound_channel.h"
#include "sound/device/win32_dx6_sound_control.h"
#include "sound/device/win32_dx6_sound_control2.h"
#include "sound/dict/sound_dict_type.h"
#include "sound/files/object_rw_sound_ini.h"
#include "sound/files/object_rw_wav.h"
#include "sound/files/win32_adpcm.h"
#include "sound/music/meta_music.h"
#include "sound/music/win32_dx5_streamed_music.h"
#include "sound/music/win32_dx7_direct_music.h"
#include "sound/music/win32_red_book_music.h"
#include "sound/processing/sound_processor.h"
#include "sound/set/sound_set.h"

// One module per line, so each module joins its place alone. A missing or failing module must
// not keep the others out, so the results are not looked at.
OmResult OmRegisterSoundModules(IObjectManager* manager) {
    for (OmRegisterFunction register_module : {
             SoundDictType_RegisterClasses,
             SoundProcessor_RegisterClasses,
             MetaMusic_RegisterClasses,
             ObjectRWWav_RegisterClasses,
             ObjectRWSoundIni_RegisterClasses,
             BaseSoundCreate_RegisterClasses,
             BaseSound_RegisterClasses,
             BaseSoundControl_RegisterClasses,
             SoundSet_RegisterClasses,
             PrioritySoundControl_RegisterClasses,
             QueuedSoundControl_RegisterClasses,
             MetaSoundControl_RegisterClasses,
             PlacedSoundControl_RegisterClasses,
             LimiterSoundControl_RegisterClasses,
             FunctionSoundControl_RegisterClasses,
             MetaSoundSoundControl_RegisterClasses,
             PlacedChannel_RegisterClasses,
             DeviceChannel_RegisterClasses,
             FunctionSoundChannel_RegisterClasses,
             LimiterChannel_RegisterClasses,
             MetaChannel_RegisterClasses,
             MetaSoundChannel_RegisterClasses,
             PriorityChannel_RegisterClasses,
             QueueChannel_RegisterClasses,
             Win32Dx6SoundControl_RegisterClasses,
             Win32Dx6SoundControl2_RegisterClasses,
             Win32Dx5StreamedMusic_RegisterClasses,
             Win32Dx7DirectMusic_RegisterClasses,
             Win32RedBookMusic_RegisterClasses,
             Win32Adpcm_RegisterClasses,
         })
        register_module(manager);
    return OM_S_OK;
}
