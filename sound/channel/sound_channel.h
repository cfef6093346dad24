// ISoundChannel: a named node of the sound set's channel tree. A channel owns one sound control
// attached to its parent channel's control (or to the device) and makes the sounds that name
// it, from scratch or by wrapping a sound of an ancestor channel. Channel types are the classes
// of the category "SoundChannel"; the sound set picks one by its name.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/containers/property_sheet.h"
#include "framework/core/class_factory.h"
#include "framework/platform/file_storage.h"
#include "sound/base/sound.h"
#include "sound/base/sound_control.h"

inline constexpr GUID CATID_SoundChannel = om_guid("CC43252C-2D81-11D5-A4AF-00010239331A");
inline constexpr GUID IID_ISoundChannel = om_guid("583E0259-2C18-11D5-A4AF-00010239331A");

inline constexpr GUID CLSID_3dChannel = om_guid("588A2CF9-65B7-414D-9268-D4D857022005");
inline constexpr GUID CLSID_DeviceChannel = om_guid("8DAE6D89-9775-45EB-B387-F53CCCEA163B");
inline constexpr GUID CLSID_FunctionSoundChannel = om_guid("E0D1D58D-44DA-4C0E-8914-CA1C87D0C795");
inline constexpr GUID CLSID_LimiterChannel = om_guid("C050BF36-5F4E-4DF1-9C3C-B70E3431F1B3");
inline constexpr GUID CLSID_MetaChannel = om_guid("7F686A71-52E8-42E1-A1E8-9DD5B6AF9AB8");
inline constexpr GUID CLSID_MetaSoundChannel = om_guid("EAE016D6-05D1-4307-9EB0-2E576CC2EC7B");
inline constexpr GUID CLSID_PriorityChannel = om_guid("B5586248-36EF-4F2D-933A-40F52554DD58");
inline constexpr GUID CLSID_QueueChannel = om_guid("85F0BD94-CEA4-438C-9253-AF4C24C87285");

// Bytes of a channel's type name and of its sound directory, terminator included.
inline constexpr uint32_t SOUND_CHANNEL_NAME_SIZE = 80;
inline constexpr uint32_t SOUND_DIRECTORY_SIZE = 260;

struct ISoundChannel : IUnknown {
    // Creates the channel's control over `parent` and reads the channel's keys from the
    // sheet's current section; `channels` is the set's channel table (names -> channels).
    virtual OmResult ReadKeys(ISoundControl* parent, ICOMHash* channels, IPropertySheet* sheet) = 0;
    // The storage (referenced) and the sound directory through which files are opened. 0;
    // OM_E_FAIL for a directory of SOUND_DIRECTORY_SIZE characters or more.
    virtual OmResult SetStorage(IFileStorage* storage, const char* directory) = 0;
    // A new sound described by the sheet's current section; `sounds` is the set's sound table.
    virtual OmResult CreateSound(IPropertySheet* sheet, ICOMHash* sounds, ISound** out) = 0;
    // A new sound of this channel over `source` (a sound of an ancestor channel).
    virtual OmResult Inherit(ISound* source, IPropertySheet* sheet, ISound** out) = 0;
    // The channel's control, no reference added; null before ReadKeys.
    virtual ISoundControl* GetControl() = 0;
    // The type name as written in channels.ini ("Type").
    virtual const char* GetName() = 0;
};

OM_DECLARE_MODULE(PlacedChannel); // the class "3dChannel"
OM_DECLARE_MODULE(DeviceChannel);
OM_DECLARE_MODULE(FunctionSoundChannel);
OM_DECLARE_MODULE(LimiterChannel);
OM_DECLARE_MODULE(MetaChannel);
OM_DECLARE_MODULE(MetaSoundChannel);
OM_DECLARE_MODULE(PriorityChannel);
OM_DECLARE_MODULE(QueueChannel);
