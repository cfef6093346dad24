// PacketQueue: turns a datagram transport into a message channel with optional guaranteed
// delivery. Messages are packets (a BinaryStreamComposer over a MemoryStream) with a 16-bit
// type and 16-bit send flags; the pump packs them into datagrams, resends guaranteed ones
// until they are acknowledged and keeps what arrives in arrival order.
//
// Datagram (little-endian):
//   u8 datagram serial | u8 acknowledged serial | messages back to back
// Message:
//   u16 type | u16 flags | u8 serial (only when flags & 0x3C) | u32 payload length n | n bytes
// The serial of a guaranteed message is the serial of the datagram that first carried it;
// resends keep it.
//
// Acknowledgement rule (both ends of the protocol follow it):
// - The acknowledged serial a receiver sends names one datagram it accepted and read to its
//   end (a stale, truncated or malformed datagram is not accepted): the last such datagram
//   that held a guaranteed message, or the last such datagram at all when there is none or
//   that one is more than 64 serials back.
// - A sender takes an acknowledgement a as covering exactly the guaranteed messages that
//   travelled in its datagram a (first sending or a resend); only those leave its resend list.
//   So a guaranteed message is never taken as delivered unless a datagram holding it arrived.
// - Guaranteed messages that share a serial are resent together, as one group: the group is
//   due when any of its messages is due, and goes into a datagram whole or not at all.
// - Resends come before new messages; when a due group does not fit into the datagram, the
//   walk stops and no new guaranteed message is packed into that datagram, so new guaranteed
//   messages never overtake a held-back resend.
// - A receiver delivers a guaranteed message once: it keeps, per serial, whether that serial's
//   group was delivered and from which datagram; a message of a delivered group arriving in
//   another datagram is a duplicate. A serial's mark is cleared when a datagram of that
//   serial (or a newer one) arrives for the first time, so serials wrap safely.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/binary_stream_composer.h"
#include "net/transport/om_transport.h"

inline constexpr GUID CLSID_PacketQueue = om_guid("84CBA85B-4ECC-4CFD-8F6E-91379809E43C");
inline constexpr GUID IID_IPacketQueue = om_guid("DF3E4190-0471-4961-930E-66BA837A1A99");

// Send flags.
inline constexpr uint16_t OM_SEND_FIRST_PASS = 0x01;
inline constexpr uint16_t OM_SEND_LAST_PASS = 0x02;
inline constexpr uint16_t OM_SEND_GUARANTEED_4 = 0x04;  // resent at every pump
inline constexpr uint16_t OM_SEND_GUARANTEED_8 = 0x08;  // resent after 50 ms
inline constexpr uint16_t OM_SEND_GUARANTEED_16 = 0x10; // resent after 250 ms
inline constexpr uint16_t OM_SEND_GUARANTEED_32 = 0x20; // resent after 500 ms
inline constexpr uint16_t OM_SEND_GUARANTEED = 0x3C;
inline constexpr uint16_t OM_SEND_PUMP_NOW = 0x40;
inline constexpr uint16_t OM_SEND_FRONT = 0x80;

// Pump flags.
inline constexpr uint32_t OM_PUMP_FORCE = 0x01;
inline constexpr uint32_t OM_PUMP_GUARANTEED = 0x02;

// Option ids.
inline constexpr int32_t OM_QUEUE_TRANSPORT = 1;
inline constexpr int32_t OM_QUEUE_LOCAL_ID = 2;  // value: address of a 32-bit id
inline constexpr int32_t OM_QUEUE_REMOTE_ID = 3; // value: address of a 32-bit id
inline constexpr int32_t OM_QUEUE_MAX_DATAGRAM = 4;
inline constexpr int32_t OM_QUEUE_SEND_INTERVAL = 5;
inline constexpr int32_t OM_QUEUE_SYSTEM_CALLBACK = 6;
inline constexpr int32_t OM_QUEUE_SYSTEM_CONTEXT = 7;
inline constexpr int32_t OM_QUEUE_SEND_LIST = 8; // GetOption only: a COMList cursor
inline constexpr int32_t OM_QUEUE_PRESEND_CALLBACK = 9;
inline constexpr int32_t OM_QUEUE_PRESEND_CONTEXT = 10;

// Limits the queue holds options 4 and 5 to (a peer sets them, Part of the game protocol).
inline constexpr uint32_t OM_QUEUE_MIN_DATAGRAM = 64;
inline constexpr uint32_t OM_QUEUE_MAX_DATAGRAM_LIMIT = 65535;
inline constexpr uint32_t OM_QUEUE_MIN_INTERVAL = 10;
inline constexpr uint32_t OM_QUEUE_MAX_INTERVAL = 1000;
// The largest datagram the transports carry in one message, and so the largest payload a
// message may have (a datagram of it alone, with a guaranteed header, must stay within it).
inline constexpr uint32_t OM_QUEUE_TRANSPORT_LIMIT = 65523;
inline constexpr uint32_t OM_QUEUE_MAX_PAYLOAD = OM_QUEUE_TRANSPORT_LIMIT - 2 - 9;

struct IPacketQueue;

// Called with each transport descriptor that is not data (a port leaving, the session lost).
using OmQueueSystemCallback = OmResult (*)(uintptr_t context, OmTransportMessage* message);
// Called at the start of every timed pump, before the datagram is built.
using OmQueuePresendCallback = OmResult (*)(uintptr_t context, IPacketQueue* queue);

struct IPacketQueue : IUnknown {
    // Stores one option (see the ids). 0, or OM_E_FAIL for an unknown or read-only id.
    virtual OmResult SetOption(int32_t id, uintptr_t value) = 0;
    // Options 1-5 into *out; 8 gives a new COMList cursor over Ptr values of the send queue's
    // records (the caller releases it); 6, 7, 9 and 10 answer 0 and leave *out. OM_E_FAIL.
    virtual OmResult GetOption(int32_t id, uintptr_t* out) = 0;
    // Queues a payload stream (one reference taken) at the back, or the front with 0x80; with
    // 0x40 a forced pump follows. OM_E_OUTOFMEMORY; OM_E_FAIL for a null stream or a payload
    // above OM_QUEUE_MAX_PAYLOAD.
    virtual OmResult QueueRecord(IByteStream* payload, uint16_t type, uint16_t flags) = 0;
    // A new packet to write a message into (one reference), or null.
    virtual IBinaryStreamComposer* NewPacket() = 0;
    // Flushes the packet and queues its stream; the packet is released in every case.
    virtual OmResult Send(IBinaryStreamComposer* packet, uint16_t type, uint16_t flags) = 0;
    // Takes the first waiting message of exactly this type and these flags out of the send
    // queue and returns a packet reading its payload, or null.
    virtual IBinaryStreamComposer* Withdraw(uint16_t type, uint16_t flags) = 0;
    // Sends (once per interval, or now with OM_PUMP_FORCE) and receives. 0; OM_E_FAIL for an
    // acknowledgement of a datagram never sent or a refusing system callback; a storing
    // failure.
    virtual OmResult Pump(uint32_t flags) = 0;
    // The oldest received message as a packet reading its payload. OM_E_FAIL (all outputs 0)
    // when none waits.
    virtual OmResult Receive(IBinaryStreamComposer** packet, uint16_t* type, uint16_t* flags) = 0;
};

OM_DECLARE_MODULE(PacketQueue);

// Serial arithmetic modulo 256: b newer than a when (b - a) mod 256 is 1..127, older when it
// is 129..255.
inline bool OmSerialIsNewer(uint8_t a, uint8_t b) {
    uint8_t d = uint8_t(b - a);
    return d >= 1 && d <= 127;
}
inline bool OmSerialIsOlder(uint8_t a, uint8_t b) {
    uint8_t d = uint8_t(b - a);
    return d >= 129;
}
