#pragma once
// What the Transmit window needs from a protocol's message builder: refill it
// from a row's record, open it modally, and after OK turn its fields into a
// record and the row's summary line.

#include "transmit/tx_message.h"

#include <memory>
#include <string>

namespace transmit {

class MessageBuilder {
public:
    virtual ~MessageBuilder() = default;
    // Protocol code (1 J1708, 2 J1850, 3 J1939) of the messages it builds.
    virtual int32_t protocolCode() const = 0;
    // Sets the builder's fields from a record of its protocol.
    virtual void refillFrom(const TxMessage& message) = 0;
    // Runs the builder modally; the dialog result (IDOK when the user accepted).
    virtual int openBuilder() = 0;
    // A complete new record from the builder's fields.
    virtual std::unique_ptr<TxMessage> buildMessage() const = 0;
    // The row summary for the builder's fields, as shown when OK was pressed.
    virtual std::string summary() const = 0;
};

} // namespace transmit
