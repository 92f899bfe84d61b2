#include "mainwindow/port_row.h"

#include <QAbstractButton>
#include <QComboBox>

#include "app/string_table.h"
#include "download/download_control.h"
#include "link/cable_watcher.h"
#include "link/controller_link.h"
#include "link/port_search.h"
#include "link/port_source.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage0.h"

namespace {

constexpr char kOpenChinese[] = "打开串口";
constexpr char kCloseChinese[] = "关闭串口";
constexpr char kOpenEnglish[] = "OPEN";
constexpr char kCloseEnglish[] = "CLOSE";

}  // namespace

PortRow::PortRow(CTarvikDlg& window, PortSource& ports, const QString& pinned)
    : m_window(window),
      m_sequence(std::make_unique<PortOpenSequence>(window.LinkToController())),
      m_watcher(std::make_unique<CableWatcher>(ports)),
      m_searcher(std::make_unique<PortSearcher>(ports)) {
    m_searcher->SetPinned(pinned);
    m_englishCaption = window.Language() == UiLanguage::English;
    connect(m_sequence.get(), &PortOpenSequence::runningChanged, this, &PortRow::runningChanged);
    connect(m_sequence.get(), &PortOpenSequence::statusText, this, &PortRow::ShowStatus);
    connect(m_sequence.get(), &PortOpenSequence::transferAbandoned, &window.Download(),
            &DownloadControl::ResetTransferState);
    connect(m_sequence.get(), &PortOpenSequence::downloadViewReset, &window.Download(),
            &DownloadControl::ResetView);
    connect(m_sequence.get(), &PortOpenSequence::finished, this,
            [this](PortOpenSequence::Request, bool portOpen) { ShowPortState(portOpen); });
    connect(m_watcher.get(), &CableWatcher::statusText, this, &PortRow::ShowStatus);
    connect(m_watcher.get(), &CableWatcher::cableReturned, this, [this] {
        // A sequence already running (the user's own open) takes the port anyway.
        m_sequence->Reopen(BaudText(), CanEnabled());
    });
    connect(m_searcher.get(), &PortSearcher::portFound, this,
            [this](const QString& label) { m_window.Controls().SetText(1028, label); });
    connect(m_searcher.get(), &PortSearcher::finished, this, [this](const QStringList& names) {
        auto* list = m_window.Item<QComboBox>(1026);
        list->clear();
        list->addItems(names);
        list->setCurrentIndex(names.isEmpty() ? -1 : 0);
    });
}

PortRow::~PortRow() = default;

void PortRow::Start() {
    m_searcher->Start();
    m_watcher->Start();
}

bool PortRow::PortOpen() const {
    return m_window.LinkToController().IsOpen();
}

void PortRow::OnOpenPortClicked() {
    const QString caption = m_window.Controls().Text(1032);
    if (caption == QString::fromUtf8(kOpenChinese) || caption == QString::fromUtf8(kOpenEnglish)) {
        m_englishCaption = caption == QString::fromUtf8(kOpenEnglish);
        m_sequence->Open(m_window.Controls().Text(1026), BaudText(), CanEnabled());
    } else if (caption == QString::fromUtf8(kCloseChinese) ||
               caption == QString::fromUtf8(kCloseEnglish)) {
        m_englishCaption = caption == QString::fromUtf8(kCloseEnglish);
        m_sequence->Close();
    }
}

void PortRow::OnSearchPortsClicked() {
    m_searcher->Start();
}

void PortRow::ShowStatus(int stringId) {
    m_window.Controls().SetText(1020, Tr(stringId));
}

void PortRow::ShowPortState(bool open) {
    // The button and page 1 follow the port's real state, also after the cable's reopen.
    const char* caption = open ? (m_englishCaption ? kCloseEnglish : kCloseChinese)
                               : (m_englishCaption ? kOpenEnglish : kOpenChinese);
    const QString current = m_window.Controls().Text(1032);
    if (current == QString::fromUtf8(kOpenChinese) || current == QString::fromUtf8(kOpenEnglish) ||
        current == QString::fromUtf8(kCloseChinese) ||
        current == QString::fromUtf8(kCloseEnglish)) {
        m_window.Controls().SetText(1032, QString::fromUtf8(caption));
    }
    m_window.Page0().SetToolSettingsEnabled(!open);
}

QString PortRow::BaudText() const {
    auto* list = m_window.Page0().Item<QComboBox>(1040);
    return list != nullptr ? list->currentText() : QString();
}

bool PortRow::CanEnabled() const {
    auto* box = m_window.Page0().Item<QAbstractButton>(1042);
    return box != nullptr && box->isChecked();
}
