#include "diagnostics/diagnostics_client.h"

#include "platform/posted_message.h"

#include <QStringList>

#include <chrono>

namespace diagnostics {

namespace {
// Receive buffer head (timestamp, PGN, priority, source, destination) and the
// longest J1939 message.
constexpr int16_t kReadBufferSize = 10 + 1785;
// A driver that fails every read at once is asked again after this pause,
// so the reader never spins.
constexpr auto kRetryPause = std::chrono::milliseconds(20);
// Messages kept for the window at most; beyond this (a window that stopped
// taking them) further ones are dropped rather than filling memory.
constexpr std::size_t kMaxBatch = 1 << 16;

QString hexAddress(uint8_t address) {
    return QString::asprintf("0x%02X", address);
}
} // namespace

DiagnosticsClient::~DiagnosticsClient() {
    close();
}

void DiagnosticsClient::open(QObject* target, const Options& options) {
    close();
    {
        std::lock_guard lock(lock_);
        target_ = target;
        batch_.clear();
        notifyPending_ = false;
        status_ = Status{State::Opening, std::nullopt, QStringLiteral("Claiming an address...")};
    }
    stopping_ = false;
    reader_ = std::thread([this, options] { run(options); });
}

void DiagnosticsClient::close() {
    stopping_ = true;
    {
        std::lock_guard lock(lock_);
        if (clientId_ >= 0) {
            binding_.clientDisconnect(clientId_);
            clientId_ = -1;
        }
    }
    if (reader_.joinable())
        reader_.join();
    std::lock_guard lock(lock_);
    target_ = nullptr;
    if (status_.state != State::Failed)
        status_ = Status{};
}

DiagnosticsClient::Status DiagnosticsClient::status() const {
    std::lock_guard lock(lock_);
    return status_;
}

std::vector<J1939Message> DiagnosticsClient::takeMessages() {
    std::lock_guard lock(lock_);
    notifyPending_ = false;
    return std::exchange(batch_, {});
}

bool DiagnosticsClient::sendRequest(uint32_t pgn, uint8_t destination) {
    int16_t client;
    uint8_t source;
    {
        std::lock_guard lock(lock_);
        if (status_.state != State::Ready || clientId_ < 0 || !status_.address)
            return false;
        client = clientId_;
        source = *status_.address;
    }
    const std::vector<uint8_t> request = requestBuffer(pgn, source, destination);
    return binding_.sendMessage(client, reinterpret_cast<const char*>(request.data()),
                                int16_t(request.size()), 0, 0) == 0;
}

// Caller holds lock_.
void DiagnosticsClient::notify() {
    if (notifyPending_ || !target_)
        return;
    notifyPending_ = true;
    platform::postMessage(target_, platform::kUserMessage, DIAG_CHANGED, 0);
}

void DiagnosticsClient::setStatus(State state, std::optional<uint8_t> address, QString message) {
    std::lock_guard lock(lock_);
    status_ = Status{state, address, std::move(message)};
    notify();
}

bool DiagnosticsClient::connectAndClaim(const Options& options) {
    const int16_t client = binding_.clientConnect(nullptr, options.deviceId, "J1939", 0, 0, 0);
    if (connect::isDriverError(client) || client < 0) {
        setStatus(State::Failed, std::nullopt,
                  QStringLiteral("The driver refused a J1939 client for this window (%1). Close another "
                                 "J1939 client of this device, or use a driver that allows more than one.")
                      .arg(connect::driverErrorText(client)));
        return false;
    }
    {
        std::lock_guard lock(lock_);
        if (stopping_) {
            binding_.clientDisconnect(client);
            return false;
        }
        clientId_ = client;
    }

    QStringList refused;
    for (uint8_t address : kToolAddresses) {
        if (options.addressInUse == address) {
            refused << QStringLiteral("%1 is held by the connection's own client").arg(hexAddress(address));
            continue;
        }
        if (stopping_)
            return false;
        char claim[10] = {char(address)};
        for (int i = 0; i < 8; ++i)
            claim[1 + i] = char(options.name >> (8 * i));
        claim[9] = 0; // block until the claim is settled
        const int16_t result = binding_.sendCommand(RP1210_Protect_J1939_Address, client, claim, 10);
        if (result == 0) {
            char on = 1;
            binding_.sendCommand(RP1210_Set_All_Filters_States_to_Pass, client, nullptr, 0);
            binding_.sendCommand(RP1210_Set_Message_Receive, client, &on, 1);
            QString message = QStringLiteral("This window is J1939 node %1").arg(hexAddress(address));
            if (!refused.isEmpty())
                message += QStringLiteral(" (%1)").arg(refused.join(QStringLiteral("; ")));
            setStatus(State::Ready, address, message + QLatin1Char('.'));
            return true;
        }
        refused << QStringLiteral("claiming %1 failed: %2")
                       .arg(hexAddress(address), connect::driverErrorText(result));
    }
    {
        // A client without an address cannot ask anything: let it go.
        std::lock_guard lock(lock_);
        if (clientId_ >= 0) {
            binding_.clientDisconnect(clientId_);
            clientId_ = -1;
        }
    }
    setStatus(State::Failed, std::nullopt,
              QStringLiteral("This window could not claim a J1939 address, so it cannot send requests (%1).")
                  .arg(refused.join(QStringLiteral("; "))));
    return false;
}

void DiagnosticsClient::run(Options options) {
    if (!connectAndClaim(options))
        return;
    int16_t client;
    {
        std::lock_guard lock(lock_);
        client = clientId_;
    }
    std::vector<uint8_t> buffer(kReadBufferSize);
    while (!stopping_) {
        const int16_t result =
            binding_.readMessage(client, reinterpret_cast<char*>(buffer.data()), kReadBufferSize, 1);
        if (result == -ERR_CLIENT_DISCONNECTED || result == -ERR_INVALID_CLIENT_ID)
            break;
        if (result <= 0 || result > kReadBufferSize) {
            if (result != -ERR_RX_QUEUE_FULL && !stopping_)
                std::this_thread::sleep_for(kRetryPause);
            continue;
        }
        auto message = parseReceiveBuffer(std::span<const uint8_t>(buffer.data(), std::size_t(result)));
        if (!message)
            continue;
        std::lock_guard lock(lock_);
        if (batch_.size() < kMaxBatch)
            batch_.push_back(std::move(*message));
        // Counted once it is in the batch, so a count seen means its
        // message can be taken.
        received_.fetch_add(1, std::memory_order_release);
        notify();
    }
}

} // namespace diagnostics
