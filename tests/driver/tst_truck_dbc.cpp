// The simulated truck read through its own DBC file, as the program reads
// it: every message it sends is described with its length and period, and
// the signals decode to the values the truck was driven at.
#include "decode/dbc.h"
#include "decode/signal_database.h"
#include "decode/signal_decode.h"
#include "vehicle/truck_network.h"

#include <QtTest>

#include <map>

using zt::Outgoing;

class TruckDbcTest : public QObject {
    Q_OBJECT

    decode::SignalDatabase database_;

    // The data of the first message of pgn sent at or after ms.
    static std::vector<uint8_t> sentAt(uint32_t pgn, uint32_t ms) {
        zt::SimulatedNetwork n(zt::NetworkKind::Truck);
        std::vector<Outgoing> out;
        for (uint32_t t = 0; t <= ms + 1000; t += zt::kTickMs) {
            out.clear();
            n.tick(t, out);
            for (const Outgoing& o : out)
                if (t >= ms && o.pgn == pgn)
                    return o.data;
        }
        return {};
    }

private slots:
    void initTestCase() {
        auto read = decode::readDbcFile(TARVIK_TRUCK_DBC);
        QVERIFY2(std::holds_alternative<decode::DbcFile>(read),
                 std::holds_alternative<decode::DbcError>(read)
                     ? std::get<decode::DbcError>(read).message().c_str()
                     : "");
        database_.add(std::get<decode::DbcFile>(std::move(read)));
    }

    // Every PGN the truck sends on a period is a J1939 message of the file
    // with the truck's length (DM1: 8, its single-frame form) and period, and
    // the file describes nothing else.
    void everyPeriodicMessageIsDescribed() {
        zt::SimulatedNetwork n(zt::NetworkKind::Truck);
        std::map<uint32_t, std::vector<uint32_t>> sentAtMs; // PGN -> moments, from one source
        std::map<uint32_t, int> length;
        std::vector<Outgoing> out;
        for (uint32_t t = 0; t < 3000; t += zt::kTickMs) {
            out.clear();
            n.tick(t, out);
            for (const Outgoing& o : out) {
                if (o.pgn == zt::kPgnDm1 && o.source != zt::kEngineAddress)
                    continue;
                sentAtMs[o.pgn].push_back(t);
                length[o.pgn] = o.pgn == zt::kPgnDm1 ? 8 : int(o.data.size());
            }
        }
        for (const auto& [pgn, moments] : sentAtMs) {
            const decode::MessageDef* m = database_.findJ1939(pgn);
            QVERIFY2(m != nullptr, qPrintable(QString::number(pgn)));
            QVERIFY(m->isJ1939);
            QCOMPARE(int(m->dlc), length[pgn]);
            QCOMPARE(m->cycleTimeMs, moments[1] - moments[0]);
        }
        QCOMPARE(database_.messageCount(), sentAtMs.size());
    }

    // Signals at two moments: standing with the door open, and pulling away.
    void signalsDecode_data() {
        QTest::addColumn<quint32>("pgn");
        QTest::addColumn<quint32>("ms");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<double>("expected");
        QTest::addColumn<QString>("text"); // from a value table; empty: none
        // Moments at which the message is sent (its offset in the period).
        const zt::TruckState idle = zt::truckAt(2000);
        const zt::TruckState pulling = zt::truckAt(20000);
        const auto at = [](uint32_t ms) { return zt::truckAt(ms); };
        QTest::newRow("engine speed at idle") << zt::kPgnEec1 << 2000u << "EngSpeed" << 700.0 << "";
        QTest::newRow("engine speed in gear")
            << zt::kPgnEec1 << 20000u << "EngSpeed" << pulling.engineRpm << "";
        QTest::newRow("accelerator pedal") << zt::kPgnEec2 << 20000u << "AccelPedalPos1" << 70.0 << "";
        QTest::newRow("vehicle speed")
            << zt::kPgnCcvs << 20030u << "WheelBasedVehicleSpeed" << at(20030).roadSpeedKmh << "";
        QTest::newRow("parking brake set") << zt::kPgnCcvs << 2000u << "ParkingBrakeSwitch" << 1.0 << "On";
        QTest::newRow("coolant warming") << zt::kPgnEt1 << 20000u << "EngCoolantTemp" << 25.0 << "";
        QTest::newRow("oil pressure") << zt::kPgnEflp1 << 2000u << "EngOilPressure" << 240.0 << "";
        QTest::newRow("current gear")
            << zt::kPgnEtc2 << 20040u << "TransCurrentGear" << double(at(20040).gear) << "";
        QTest::newRow("neutral at a stop") << zt::kPgnEtc2 << 2000u << "TransCurrentGear" << 0.0 << "Neutral";
        QTest::newRow("output shaft speed") << zt::kPgnEtc1 << 20000u << "TransOutputShaftSpeed"
                                            << pulling.engineRpm / pulling.gearRatio << "";
        QTest::newRow("front axle speed")
            << zt::kPgnEbc2 << 20060u << "FrontAxleSpeed" << at(20060).roadSpeedKmh << "";
        QTest::newRow("fuel level") << zt::kPgnDd << 2000u << "FuelLevel1" << idle.fuelLevelPercent << "";
        QTest::newRow("odometer, 5 m a bit") << zt::kPgnVdhr << 20520u << "TotalVehicleDistanceHighRes"
                                             << (zt::kOdometerStartKm + at(20520).tripKm) * 1000 << "";
        QTest::newRow("door open") << zt::kPgnDc1 << 2000u << "PositionOfDoors" << 0.0
                                   << "At least one door open";
        QTest::newRow("low beams") << zt::kPgnLd << 2000u << "LowBeamHeadLightData" << 1.0 << "On";
        QTest::newRow("engine's amber lamp") << zt::kPgnDm1 << 0u << "AmberWarningLampStatus" << 1.0 << "On";
    }
    void signalsDecode() {
        QFETCH(quint32, pgn);
        QFETCH(quint32, ms);
        QFETCH(QString, signal);
        QFETCH(double, expected);
        QFETCH(QString, text);
        const decode::MessageDef* m = database_.findJ1939(pgn);
        QVERIFY(m != nullptr);
        const std::vector<uint8_t> data = sentAt(pgn, ms);
        QVERIFY(!data.empty());
        std::vector<decode::DecodedSignal> decoded;
        decode::decodeMessage(*m, data, decoded);
        const auto it = std::find_if(decoded.begin(), decoded.end(), [&](const decode::DecodedSignal& s) {
            return s.def->name == signal.toStdString();
        });
        QVERIFY(it != decoded.end());
        QCOMPARE(it->availability, decode::Availability::Valid);
        // Within one step of the signal's resolution (values are rounded to it).
        QVERIFY2(std::abs(it->value - expected) <= it->def->factor * 1.01 + 1e-9,
                 qPrintable(QString("%1 against %2").arg(it->value).arg(expected)));
        QCOMPARE(QString::fromUtf8(it->valueText.data(), qsizetype(it->valueText.size())), text);
    }
};

QTEST_APPLESS_MAIN(TruckDbcTest)
#include "tst_truck_dbc.moc"
