#pragma once
// The program's icons, drawn in code so they scale and need no image files.
#include <QIcon>
#include <QString>

namespace res {

enum IconId {
    IDI_MAIN_LARGE = 1005,
    IDI_DISCONNECT = 1006,
    IDI_CONNECT = 1007,
    IDI_RECEIVE = 1008,
    IDI_TRANSMIT = 1009,
    IDI_DIAGNOSTICS = 1010,
    IDI_MONITOR = 1011,
    IDI_SWITCH_HEX = 1037,
    IDI_SWITCH_DEC = 1038,
    IDI_MAIN_SMALL = 1051,
    IDI_RX_PICTURE = 1053,
    IDI_NOT_INITIALISED = 2004,
    IDI_INITIALISED = 2005,
};

// The icon with the given resource number; a null icon for an unknown one.
QIcon loadIcon(int id);

// The two pictures of the Dec/Hex switch that every field window and the
// receive window show. The application loads them once at start-up; a window
// that asks before that (a test without the application) loads them then.
struct SwitchIcons {
    QIcon hex;
    QIcon dec;
};
void loadSwitchIcons();
const SwitchIcons& switchIcons();
inline const QIcon& switchIcon(bool hexMode) {
    return hexMode ? switchIcons().hex : switchIcons().dec;
}
// What the switch's picture says, for assistive technology.
inline QString switchStateName(bool hexMode) {
    return hexMode ? QStringLiteral("Hexadecimal") : QStringLiteral("Decimal");
}

} // namespace res
