// The network-driven plane: an AI plane whose pose, for every player but its own, comes from
// the network's state records. Between records it flies a cubic curve to the reported position
// while turning to the reported orientation; when records stop it runs on along the last curve,
// slowing, a segment a frame at most and never out of the network's range, and after 2000 ms it
// is taken off to the origin. The local player's plane reports its gunfire, ordinance releases,
// state changes and pickups to the server.
#pragma once

#include "game/rules/tavrin_ai_plane.h"
#include "net/client/message_codec.h"
#include "net/transport/packet_queue.h"

struct IOmAerovantClient;
struct ITvClientGame;

inline constexpr GUID CLSID_TavrinNetPlane = om_guid("5B0C7A41-93E2-4F6D-8A1B-2C74D9E0F386");

// The network-driven plane's interface has the plane's operation table.
using ITvNetPlane = ITvPlane;

// Properties of the network-driven plane.
enum TvNetPlaneProperty : uint32_t {
    kTvNetPropStateRecord = 0x600, // set: TvPlaneStateRecord*; get: the plane's own record
    kTvNetPropClient = 0x601,      // IOmAerovantClient* (one reference held)
    kTvNetPropFrame = 0x602,       // get: the 16 words of the frame matrix
    kTvNetPropAim = 0x603,         // set: pointer to 3 floats (guns firing := 1); get: address
    kTvNetPropInterval = 0x604,    // int32 ms (the local plane: its last report time)
    kTvNetPropSlot = 0x605,        // int32, stored
};

inline constexpr uint32_t kTvNetRecordTimeoutMs = 2000;
inline constexpr uint32_t kTvNetGunReportMs = 250;
// A serial outside 0..15: the next record always counts as new.
inline constexpr int32_t kTvNetNoSerial = 16;

struct TvNetPlaneFields {
    IOmAerovantClient* network_client{};
    LgVector turn_axis{1.0f, 0.0f, 0.0f};
    float turn_rate{}; // degrees per second
    LgVector curve[4]{};
    LgVector start_heading{};
    LgVector end_heading{};
    float curve_t{};
    float parameter_rate{}; // t per second
    LgMatrix target_orientation{};
    LgMatrix segment_rotation{};
    uint32_t next_gun_report{};
    LgVector aim{};
    int32_t update_interval{};
    int32_t extrapolation_count{};
    int32_t record_gap{};
    int32_t slot_value{};
    uint32_t last_record_time{};
    int32_t snap_pending{};
    int32_t serial{kTvNetNoSerial};
    TvPlaneStateRecord report{}; // filled by GetProperty 0x600
};

class TavrinNetPlane : public TavrinAIPlane, public TvNetPlaneFields {
public:
    TavrinNetPlane();

    OmResult QueryInterface(const GUID& iid, void** out) override;
    OmResult Reset() override;
    OmResult Create(TvCreateDescriptor* descriptor) override;
    OmResult Destroy() override;
    OmResult SetProperty(uint32_t id, uintptr_t value) override;
    OmResult GetProperty(uint32_t id, uintptr_t* out) override;
    OmResult Render() override;
    OmResult Update() override;
    int32_t IsDead() override;
    OmResult TvPlaneFire(int32_t kind) override;
    OmResult TvPlaneRespawn() override;
    OmResult TvPlanePickup(int32_t kind, int32_t object_id) override;

protected:
    ~TavrinNetPlane() override;

private:
    void remote_update(const TvPlaneStateRecord& record);
    void follow_curve(float dt);
    void set_curve(LgVector from, LgVector to, LgVector start, LgVector end);
    void copy_to_model();
    OmResult fire_guns();
    OmResult fire_ordinance();
    void send(IBinaryStreamComposer* packet, OmResult encoded, uint16_t type, uint16_t flags);
};

// The queue's pre-send callback (context: the plane): asks the game to report the plane.
OmResult TvNetPlanePreSend(uintptr_t context, IPacketQueue* queue);

// Orients `frame` to look from `from`'s position to `to`'s: at along the difference, right and
// up from the world up. The frame takes `from`'s position. Coincident positions leave the frame
// as it is; a vertical look keeps the frame's right row. False when nothing changed.
bool TvFrameLookAt(LgMatrix* frame, const LgMatrix* from, const LgMatrix* to);

// The shooter's at-vector expressed in the look-at frame from shooter to other; false (nothing
// written) for coincident positions. A vertical line of sight uses the shooter's right row.
bool TvRelativeAim(const LgMatrix& shooter, const LgMatrix& other, LgVector* out);
// The receiving side: the relative aim turned back out of the look-at frame from the shooter to
// the receiver. False for coincident positions.
bool TvAimFromRelative(const LgMatrix& shooter, const LgMatrix& receiver, LgVector relative,
                       LgVector* out);

// Where and when a projectile released from the shooter (launch speed along its heading plus
// its velocity, gravity 60 downwards) crosses the plane through `target` with `normal`: the
// earliest non-negative time. False (nothing written) when it never does.
bool TvPredictReleaseImpact(const LgMatrix& shooter, const LgVector& velocity, float launch_speed,
                            const LgVector& target, const LgVector& normal, float* time,
                            LgVector* point);

// The cubic Bezier point of the four control points at t.
LgVector TvBezierPoint(const LgVector curve[4], float t);

OM_DECLARE_MODULE(TavrinNetPlane);
inline OmResult TvRegisterNetPlaneClass(IObjectManager* manager) {
    return TavrinNetPlane_RegisterClasses(manager);
}
