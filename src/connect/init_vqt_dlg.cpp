#include "connect/init_vqt_dlg.h"

#include "connect/address_claim_dialog.h"
#include "connect/driver_selection.h"
#include "res/icons.h"
#include "res/ids/connection_ids.h"
#include "res/templates.h"

#include <QComboBox>
#include <algorithm>

namespace connect {

void* mainWindowHandle = nullptr;

namespace {
InitVQTDlg* g_instance = nullptr;

struct ProtocolRow {
    const char* protocolText;
    const char* successText;
    int picture;
};

ProtocolRow rowOf(Protocol protocol) {
    switch (protocol) {
    case Protocol::J1708:
        return {"J1708", "UART Initialized Successfully", res::IDC_J1708_PICTURE};
    case Protocol::J1850:
        return {"J1850", "J1850 Initialized Successfully", res::IDC_J1850_PICTURE};
    case Protocol::J1939:
        break;
    }
    return {"J1939", "CAN Initialized Successfully", res::IDC_J1939_PICTURE};
}
} // namespace

InitVQTDlg::InitVQTDlg(QWidget* parent) : Dialog(res::IDD_CONNECTION, parent) {
    if (!g_instance)
        g_instance = this;
}

InitVQTDlg::~InitVQTDlg() {
    if (g_instance == this)
        g_instance = nullptr;
}

InitVQTDlg* InitVQTDlg::instance() {
    return g_instance;
}

int InitVQTDlg::display(int32_t connectionType, ConnectionStatus* status) {
    status_ = status ? status : &fallbackStatus_;
    status_->connected = 0;
    displayArgument = connectionType;
    doModal();
    return 0;
}

void InitVQTDlg::doDataExchange(platform::DataExchange& dx) {
    Dialog::doDataExchange(dx);
    dx.text(res::IDC_VQT_STATUS, statusText);
    dx.number(res::IDC_DEVICE_ID, deviceId);
    dx.comboText(res::IDC_DLL_LIST, selectedImplementation);
}

bool InitVQTDlg::onInitDialog() {
    Dialog::onInitDialog();
    const ImplementationList list = readImplementationList(implementationIniPath());
    QComboBox* dllList = comboBox(res::IDC_DLL_LIST);
    for (const std::string& name : list.names)
        dllList->addItem(QString::fromStdString(name));
    dllList->setCurrentIndex(list.defaultIndex);
    notInitialisedPicture_ = res::loadIcon(res::IDI_NOT_INITIALISED);
    initialisedPicture_ = res::loadIcon(res::IDI_INITIALISED);
    for (int picture : {res::IDC_J1708_PICTURE, res::IDC_J1850_PICTURE, res::IDC_J1939_PICTURE})
        setItemIcon(picture, notInitialisedPicture_);
    return true;
}

void InitVQTDlg::onShowWindow(bool shown) {
    Dialog::onShowWindow(shown);
    resetBoardLists();
}

void InitVQTDlg::resetBoardLists() {
    // The serial and board lists have no function; they always show these.
    if (QComboBox* baud = comboBox(res::IDC_BAUD))
        baud->setCurrentIndex(5);
    for (int id : {res::IDC_POLLED, res::IDC_IO_PORT, res::IDC_IRQ})
        if (QComboBox* list = comboBox(id))
            list->setCurrentIndex(0);
}

bool InitVQTDlg::onNotify(int id, platform::Notification code) {
    if (code == platform::Notification::Clicked) {
        switch (id) {
        case res::IDC_DEVICE:
            onDevice();
            return true;
        case res::IDC_INIT_UART:
            initialiseProtocol(Protocol::J1708);
            return true;
        case res::IDC_INIT_1850:
            initialiseProtocol(Protocol::J1850);
            return true;
        case res::IDC_INIT_CAN:
            onInitCan();
            return true;
        default:
            break;
        }
    }
    return Dialog::onNotify(id, code);
}

void InitVQTDlg::onDevice() {
    updateData(true);
    if (deviceId > 65535) {
        deviceId = 65535;
        updateData(false);
    }
    ConnectionStatus& status = status_ ? *status_ : fallbackStatus_;
    const DeviceActionResult result = selectDriver(selectedImplementation.toStdString(), status, this);
    if (!result.statusChanged)
        return;
    for (int button : {res::IDC_INIT_UART, res::IDC_INIT_1850, res::IDC_INIT_CAN})
        enableItem(button, true);
    statusText = result.statusText;
    updateData(false);
}

void InitVQTDlg::onInitCan() {
    const auto claim = runAddressClaimDialog(this);
    if (!claim)
        return;
    initialiseProtocol(Protocol::J1939, claim->data());
}

void InitVQTDlg::initialiseProtocol(Protocol protocol, const uint8_t* claim) {
    DriverBinding& binding = driverBinding();
    const ProtocolRow row = rowOf(protocol);
    int pending = 0;

    const int16_t client =
        binding.clientConnect(mainWindowHandle, static_cast<int16_t>(deviceId), row.protocolText, 0, 0, 0);
    binding.clientId(protocol) = client;
    bool claimAddress = protocol == Protocol::J1939;
    if (protocol == Protocol::J1939) {
        if (isDriverError(client)) {
            pending = client;
            claimAddress = false;
        }
    } else if (client != 0) {
        pending = client;
    }
    if (claimAddress) {
        char claimBytes[10] = {};
        for (int i = 0; claim && i < 10; ++i)
            claimBytes[i] = static_cast<char>(claim[i]);
        const int16_t result = binding.sendCommand(RP1210_Protect_J1939_Address, client, claimBytes, 10);
        if (result != 0)
            pending = result;
    }
    char receiveOff = 0;
    if (const int16_t result = binding.sendCommand(RP1210_Set_Message_Receive, client, &receiveOff, 1))
        pending = result;
    if (const int16_t result = binding.sendCommand(RP1210_Set_All_Filters_States_to_Pass, client, nullptr, 0))
        pending = result;

    ConnectionStatus& status = status_ ? *status_ : fallbackStatus_;
    if (isDriverError(pending)) {
        status.connected = 0;
        statusText = driverErrorText(pending);
        updateData(false);
        return;
    }
    binding.connectedProtocols.fetch_or(protocolBit(protocol));
    if (protocol == Protocol::J1939) {
        j1939Claim.reset();
        if (claim) {
            j1939Claim.emplace();
            std::copy(claim, claim + 10, j1939Claim->begin());
        }
    }
    statusText = QString::fromLatin1(row.successText);
    updateData(false);
    if (protocolInitialised_)
        protocolInitialised_(protocol);
    setItemIcon(row.picture, initialisedPicture_);
}

} // namespace connect
