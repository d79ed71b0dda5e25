#include "clients/claim_status.h"

#include "clients/device_stack.h"

namespace zt {

j1939::ClaimState claimStateOf(Client& c, uint8_t& address) {
    return c.stack->j1939->run([&](j1939::Engine& e, auto&) {
        address = e.claimedAddress(c.token);
        return e.claimState(c.token);
    });
}

uint8_t claimStatusByte(j1939::ClaimState s) {
    switch (s) {
    case j1939::ClaimState::None:
        return 0;
    case j1939::ClaimState::Claimed:
        return 1;
    case j1939::ClaimState::Lost:
        return 2;
    case j1939::ClaimState::Failed:
        return 3;
    case j1939::ClaimState::Claiming:
        return 4;
    }
    return 0;
}

} // namespace zt
