#pragma once
// A message builder that opens no window: it answers with a set result and
// builds a record of its protocol (the J1850 and J1939 builders' stand-in).

#include "transmit/message_builder.h"

#include <optional>

namespace testsupport {

class FakeBuilder : public transmit::MessageBuilder {
public:
    explicit FakeBuilder(int32_t protocol) : protocol_(protocol) {}

    int result = 1; // IDOK
    int opened = 0;
    std::optional<transmit::TxMessage> refilledFrom;
    int16_t broadcastCount = -1;

    int32_t protocolCode() const override { return protocol_; }
    void refillFrom(const transmit::TxMessage& message) override { refilledFrom = message; }
    int openBuilder() override {
        ++opened;
        return result;
    }
    std::unique_ptr<transmit::TxMessage> buildMessage() const override {
        auto message = transmit::newTxMessage(protocol_);
        message->length = 7;
        message->broadcastCount = broadcastCount;
        for (int i = 1; i < 7; ++i)
            message->buffer[i] = uint8_t(protocol_ * 16 + i);
        return message;
    }
    std::string summary() const override {
        return protocol_ == 2 ? "TXJ1850  080000  " : "TXJ1939  0000EF00  ";
    }

private:
    int32_t protocol_;
};

} // namespace testsupport
