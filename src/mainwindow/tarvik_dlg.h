#pragma once
// The main window: tab pages on the left, the port row, commands and counters below them, and
// the folding right-hand panel with download, check value, remote control and calibration.

#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <utility>

#include "ui/template_widget.h"

class Cpage0;
class Cpage1;
class Cpage3;
class Cpage5;
class Cpage6;
class KeyState;
class ProfileSettings;

class CTarvikDlg : public TemplateWidget {
    Q_OBJECT
public:
    // Widths of the unfolded window: the panel takes this share of the outer width.
    static constexpr int kPanelShare = 480;
    static constexpr int kPanelShareOf = 1322;
    static constexpr int kTimerPeriodMs = 250;

    CTarvikDlg(ProfileSettings& settings, KeyState& keys, QWidget* parent = nullptr);
    ~CTarvikDlg() override;

    // Fills the lists, applies the language and settings, folds the panel and starts the timer.
    void OnInitDialog();

    Cpage0& Page0() const { return *m_page0; }
    Cpage1& Page1() const { return *m_page1; }
    Cpage3& Page3() const { return *m_page3; }
    Cpage5& Page5() const { return *m_page5; }
    Cpage6& Page6() const { return *m_page6; }
    TemplateWidget& PageAt(int index) const;

    bool PanelCollapsed() const { return m_panelCollapsed; }
    int PanelWidth() const { return m_panelWidth; }
    const QTimer& Timer() const { return m_timer; }

    // Fields of the exchange.
    QString m_binFilePath;
    QString m_binFileName;
    QString m_logText;
    QString m_portName;
    int m_downloadingShown = 0;
    int m_logEchoOn = 0;
    std::uint32_t m_successCount = 0;
    std::uint32_t m_errorCount = 0;
    std::uint32_t m_voltageCalibValue = 0;
    std::uint32_t m_currentCalibValue = 0;
    std::uint32_t m_autoDelay = 0;
    std::uint32_t m_fieldWeakeningValue = 0;
    int m_gear = 0;
    int m_brake = 0;
    int m_reverse = 0;
    int m_lock = 0;
    int m_displayMode = 0;
    int m_canNode = 0;
    int m_canBitRate = 0;

public slots:
    void OnPanelToggleClicked();
    void OnTabSelChange(int index);
    void OnTimer();
    void OnParamWriteClicked();
    void OnCanCableClicked();
    void ShowAbout();
    // Shows the hidden service controls; the "~" sequence also shows the restart, cable and
    // factory controls.
    void RevealServiceControls(bool tildeSequence);

signals:
    // Emitted by the handlers the later parts of the window fill; tests watch them.
    void ParamWriteRequested();
    void CanCableClickRequested();

protected:
    void DoDataExchange(DataExchange& exchange) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreatePages();
    void FillLists();
    void ApplyEnglishOverlay();
    void UpdateCheckValueColour();
    // The key handling of the main window's controls; true when the key was consumed.
    bool FilterKey(const QKeyEvent& key);
    bool IsMainWindowControl(const QWidget* widget) const;

    ProfileSettings& m_settings;
    KeyState& m_keys;
    Cpage0* m_page0 = nullptr;
    Cpage1* m_page1 = nullptr;
    Cpage3* m_page3 = nullptr;
    Cpage5* m_page5 = nullptr;
    Cpage6* m_page6 = nullptr;
    QTimer m_timer;
    bool m_panelCollapsed = true;
    int m_panelWidth = 0;
};
