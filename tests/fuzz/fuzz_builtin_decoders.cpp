// Fuzzes every decoder of frame bytes that needs no DBC: the built-in
// structures of each PGN, the J1587 splitter with PID 194's codes, and the
// signal decoder with a signal layout taken from the first bytes.
#include "decode/builtin.h"
#include "decode/j1587.h"
#include "decode/j1939_id.h"
#include "decode/pgns.h"
#include "decode/signal_decode.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace decode;
    const std::span<const uint8_t> bytes(data, size);

    std::vector<BuiltinField> fields;
    for (uint32_t pgn :
         {kPgnAcknowledgment, kPgnRequest, kPgnTpDt, kPgnTpCm, kPgnAddressClaimed, kPgnEcuId, kPgnDm1,
          kPgnDm2, kPgnDm3, kPgnDm11, kPgnCommandedAddress, kPgnSoftwareId, kPgnComponentId, kPgnVin}) {
        fields.clear();
        if (!decodeBuiltin(pgn, bytes, fields) || builtinMessageName(pgn).empty())
            std::abort();
    }
    if (auto dm = decodeDm1Layout(bytes)) {
        // What was read writes back to the same codes.
        auto again = decodeDm1Layout(encodeDm1Layout(*dm));
        if (!again || again->codes != dm->codes)
            std::abort();
    }

    std::size_t covered = 0;
    for (const J1587Parameter& p : splitJ1587(bytes)) {
        covered += p.data.size();
        if (p.pid == kJ1587PidDiagnosticCodes)
            (void)decodeJ1587Dtcs(p.data);
    }
    if (covered > size)
        std::abort();

    if (size >= 4) {
        const uint32_t id =
            data[0] | (uint32_t{data[1]} << 8) | (uint32_t{data[2]} << 16) | (uint32_t{data[3]} << 24);
        const J1939Id split = splitJ1939Id(id);
        if (joinJ1939Id(split.priority, split.pgn, split.destination, split.source) != (id & 0x1FFFFFFF))
            std::abort();
    }
    if (size >= 3) {
        SignalDef s;
        s.startBit = static_cast<uint16_t>(data[0] | ((data[2] & 0x01) << 8));
        s.length = static_cast<uint16_t>(1 + data[1] % 64);
        s.littleEndian = data[2] & 0x02;
        s.isSigned = data[2] & 0x04;
        s.factor = (data[2] & 0x08) ? 0.1 : 1.0;
        const auto frame = bytes.subspan(3);
        DecodedSignal d = decodeSignal(s, frame, data[2] & 0x10);
        // Bits past the frame read as 0, so a signal outside it reads nothing.
        if (!fitsIn(s, frame.size()) && s.littleEndian && s.startBit >= frame.size() * 8 && d.raw != 0)
            std::abort();
        if (s.length < 64 && (d.raw >> s.length) != 0)
            std::abort();
        (void)formatValue(d);
    }
    return 0;
}
