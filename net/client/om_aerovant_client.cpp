// The network client: Init builds the transport and queue, the connect sequence searches and
// joins the session (the join itself on a thread of its own), Poll delivers what arrives.
#include "net/client/om_aerovant_client.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "platform/clock.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t search_window_ms = 30000;
constexpr uint32_t countdown_base_ms = 31000;

void no_log(const char*, void*) {}

// What the join thread and the main thread share. The thread writes `port` before it
// publishes `state`; the main thread reads the port only after seeing the state.
struct JoinAttempt {
    enum : int { running = 0, joined = 1, failed = 2 };
    std::atomic<int> state{running};
    uint32_t port = 0;
};

class OmAerovantClient final : public OmObject<OmAerovantClient, IOmAerovantClient> {
public:
    ~OmAerovantClient() {
        if (join_thread_.joinable() && transport_) transport_->Close();
        end_join_thread();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmAerovantClient, this}});
    }

    OmResult Init(const char* server_address) override {
        end_join_thread();
        queue_.reset();
        transport_.reset();
        OmResult r = OmCreate(CLSID_Win32Dx6Transport, IID_IOmTransport, transport_.put());
        if (r >= 0) r = transport_->Init();
        if (r >= 0) r = transport_->SetAddress(OM_TRANSPORT_SYNC_ENUMERATION, nullptr);
        if (r >= 0) {
            char address[256] = "";
            if (server_address)
                std::snprintf(address, sizeof address, TV_ADDRESS_FORMAT, server_address);
            r = transport_->SetAddress(OM_TRANSPORT_TCPIP, address);
        }
        if (r >= 0) r = OmCreate(CLSID_PacketQueue, IID_IPacketQueue, queue_.put());
        if (r >= 0)
            r = queue_->SetOption(OM_QUEUE_TRANSPORT,
                                  reinterpret_cast<uintptr_t>(transport_.get()));
        // The queue's system events always come here first, so a callback installed before
        // this Init keeps working and a lost session is never passed over.
        if (r >= 0)
            r = queue_->SetOption(OM_QUEUE_SYSTEM_CALLBACK,
                                  reinterpret_cast<uintptr_t>(&on_queue_event));
        if (r >= 0)
            r = queue_->SetOption(OM_QUEUE_SYSTEM_CONTEXT, reinterpret_cast<uintptr_t>(this));
        if (!log_fn_) log_fn_ = no_log;
        std::memset(&local_player_, 0, sizeof local_player_);
        std::strcpy(local_player_.name, "PlayerName");
        std::strcpy(local_player_.planeId, "aircodh2");
        local_player_.localByte = 0;
        local_player_.localWord = 10;
        log("AerovantClient Initialised.");
        return r;
    }

    OmResult Close() override {
        if (join_thread_.joinable() && transport_) transport_->Close();
        end_join_thread();
        queue_.reset();
        transport_.reset();
        connected_ = false;
        return OM_S_OK;
    }

    OmResult TvStartSessionJoin(TvProgressCallback progress, void* progress_context,
                                const void* player_data, uint32_t player_data_size) override {
        end_join_thread();
        if (!transport_) {
            connected_ = true;
            return OM_S_OK;
        }
        if (transport_->StartServiceProvider(OM_TRANSPORT_TCPIP) < 0)
            log("Could not start TCP/IP.");
        else
            log("TCP/IP Service Started.");

        const uint32_t t0 = platform::timeGetTime();
        uint32_t sessions = 0;
        while (sessions == 0 && platform::timeGetTime() - t0 < search_window_ms) {
            transport_->EnumerateSessions(&sessions);
            for (uint32_t i = 0; i < sessions; ++i) {
                const OmTransportSession* s = nullptr;
                if (transport_->GetSession(i, &s) >= 0 && s) {
                    char line[128];
                    std::snprintf(line, sizeof line, "Session: %s", s->name);
                    log(line);
                }
            }
            if (progress && progress(progress_context) < 0) break;
            show_countdown(t0);
        }

        auto attempt = std::make_shared<JoinAttempt>();
        attempt_ = attempt;
        port_applied_ = false;
        std::vector<uint8_t> data;
        if (player_data && player_data_size)
            data.assign(static_cast<const uint8_t*>(player_data),
                        static_cast<const uint8_t*>(player_data) + player_data_size);
        // The thread holds its own reference on the transport and touches nothing else of
        // the client; it is joined before the transport can go.
        join_thread_ = std::thread(session_join_thread, ComRef<IOmTransport>(transport_), attempt,
                                   std::move(data), log_fn_, log_context_);

        // A failed join is learned from the time-out (and later from the server's silence),
        // as the lobby expects.
        while (attempt->state.load(std::memory_order_acquire) != JoinAttempt::joined) {
            if (!show_countdown(t0)) break; // time-out
            std::this_thread::yield();
        }
        apply_join();
        connected_ = true;
        return OM_S_OK;
    }

    OmResult Stop() override {
        if (transport_) transport_->Close();
        end_join_thread();
        if (transport_) transport_->ReleaseConnection();
        connected_ = false;
        return OM_S_OK;
    }

    OmResult Poll(uint32_t pump_flags) override {
        if (!connected_ || !queue_) return OM_S_OK;
        apply_join();
        queue_->Pump(pump_flags);
        for (;;) {
            IBinaryStreamComposer* packet = nullptr;
            uint16_t type = 0, flags = 0;
            if (queue_->Receive(&packet, &type, &flags) < 0) break;
            if (!packet) continue;
            if (handler_fn_) handler_fn_(handler_context_, player_id_, packet, type, flags);
            packet->Rewind();
            OnMessage(packet, type, flags);
            packet->Flush();
            packet->Release();
        }
        return OM_S_OK;
    }

    OmResult SetLogCallback(TvLogCallback fn, void* context) override {
        log_fn_ = fn;
        log_context_ = context;
        return OM_S_OK;
    }

    OmResult OnMessage(IBinaryStreamComposer* packet, uint16_t type, uint16_t) override {
        if (type != TV_MSG_PLAYER_ID || !packet) return OM_S_OK;
        uint32_t id = 0;
        if (packet->Field(OM_FIELD_BITS, 32, &id) < 0) return OM_S_OK; // a short message
        player_id_ = id;
        if (queue_) queue_->SetOption(OM_QUEUE_REMOTE_ID, reinterpret_cast<uintptr_t>(&player_id_));
        return OM_S_OK;
    }

    IBinaryStreamComposer* NewPacket() override { return queue_ ? queue_->NewPacket() : nullptr; }

    OmResult Send(IBinaryStreamComposer* packet, uint16_t type, uint16_t flags) override {
        if (!queue_) {
            if (packet) packet->Release();
            return OM_E_FAIL;
        }
        return queue_->Send(packet, type, flags);
    }

    IBinaryStreamComposer* Withdraw(uint16_t type, uint16_t flags) override {
        return queue_ ? queue_->Withdraw(type, flags) : nullptr;
    }

    OmResult GetLocalPlayer(TvPlayerInfo** out) override {
        if (!out) return OM_E_FAIL;
        *out = &local_player_;
        return OM_S_OK;
    }

    OmResult SetQueueCallback(OmQueueSystemCallback fn, uintptr_t context) override {
        queue_callback_ = fn;
        queue_context_ = context;
        return OM_S_OK;
    }

    OmResult GetQueueCallback(OmQueueSystemCallback* fn, uintptr_t* context) override {
        if (fn) *fn = queue_callback_;
        if (context) *context = queue_context_;
        return OM_S_OK;
    }

    OmResult SetMessageHandler(TvMessageHandler fn, void* context) override {
        handler_fn_ = fn;
        handler_context_ = context;
        return OM_S_OK;
    }

    OmResult GetMessageHandler(TvMessageHandler* fn, void** context) override {
        if (fn) *fn = handler_fn_;
        if (context) *context = handler_context_;
        return OM_S_OK;
    }

    IPacketQueue* GetPacketQueue() override { return queue_.get(); }

    OmResult SetStatusPage(TvStatusPage fn, void* context) override {
        status_fn_ = fn;
        status_context_ = context;
        return OM_S_OK;
    }

private:
    static void session_join_thread(ComRef<IOmTransport> transport,
                                    std::shared_ptr<JoinAttempt> attempt, std::vector<uint8_t> data,
                                    TvLogCallback log_fn, void* log_context) {
        auto say = [&](const char* text) {
            if (log_fn) log_fn(text, log_context);
        };
        if (transport->JoinSession(TV_SESSION_NAME) < 0) {
            say("Could not start session.");
            attempt->state.store(JoinAttempt::failed, std::memory_order_release);
            return;
        }
        say("Connected to Session");
        uint32_t port = 0;
        if (transport->CreatePort(&port, data.empty() ? nullptr : data.data(),
                                  uint32_t(data.size())) < 0) {
            say("Could not Create Port.");
            attempt->state.store(JoinAttempt::failed, std::memory_order_release);
            return;
        }
        say("Created Port.");
        attempt->port = port;
        attempt->state.store(JoinAttempt::joined, std::memory_order_release);
    }

    static OmResult on_queue_event(uintptr_t context, OmTransportMessage* message) {
        auto* self = reinterpret_cast<OmAerovantClient*>(context);
        if (message && message->kind == OM_TRANSPORT_SESSION_LOST) self->log("Session lost.");
        if (self->queue_callback_) return self->queue_callback_(self->queue_context_, message);
        return OM_S_OK;
    }

    // Shows the connecting page's countdown (30 down to 1); false once 31 seconds have passed.
    // The first second (31 left) and the last (0 left) show nothing but are waited through:
    // only the full window is a time-out, so a join that is quick is never cut short.
    bool show_countdown(uint32_t t0) {
        uint32_t elapsed = platform::timeGetTime() - t0;
        if (elapsed >= countdown_base_ms) return false;
        uint32_t seconds = (countdown_base_ms - elapsed) / 1000;
        if (seconds >= 1 && seconds <= 30 && status_fn_)
            status_fn_(status_context_, TV_CONNECTING_PAGE, int32_t(seconds));
        return true;
    }

    // Hands a finished join's port to the queue (also for a join that finished after the
    // countdown gave up on it).
    void apply_join() {
        if (port_applied_ || !attempt_ || !queue_) return;
        if (attempt_->state.load(std::memory_order_acquire) != JoinAttempt::joined) return;
        port_ = attempt_->port;
        queue_->SetOption(OM_QUEUE_LOCAL_ID, reinterpret_cast<uintptr_t>(&port_));
        port_applied_ = true;
    }

    void end_join_thread() {
        if (join_thread_.joinable()) join_thread_.join();
    }

    void log(const char* text) {
        if (log_fn_) log_fn_(text, log_context_);
    }

    ComRef<IOmTransport> transport_;
    ComRef<IPacketQueue> queue_;
    TvLogCallback log_fn_ = nullptr;
    void* log_context_ = nullptr;
    uint32_t player_id_ = 0;
    uint32_t port_ = 0;
    bool connected_ = false;
    TvPlayerInfo local_player_{};
    OmQueueSystemCallback queue_callback_ = nullptr;
    uintptr_t queue_context_ = 0;
    TvMessageHandler handler_fn_ = nullptr;
    void* handler_context_ = nullptr;
    TvStatusPage status_fn_ = nullptr;
    void* status_context_ = nullptr;
    std::thread join_thread_;
    std::shared_ptr<JoinAttempt> attempt_;
    bool port_applied_ = false;
};

const OmClassRecord classes[] = {{&CLSID_OmAerovantClient, nullptr, nullptr,
                                  OmCreateComponent<OmAerovantClient>, "OmAerovantClient"}};

} // namespace

OM_DEFINE_MODULE(OmAerovantClient, classes)
