#pragma once
// One port of the station as an operator reads it from a few metres away: the state in large
// letters on its colour, with the port, the cable lamp, the progress, the last message, the last
// controller's software version and finishing time, and the port's counts.

#include <QFrame>
#include <QString>

#include "production/station_view_model.h"

class QLabel;
class QProgressBar;

class StationTile : public QFrame {
    Q_OBJECT

public:
    explicit StationTile(QWidget* parent = nullptr);

    void Show(const StationPortView& view);

    // What the tile says in large letters, and its colours (background, text).
    static QString StateText(const StationPortView& view);
    static QColor StateColour(TileState state);
    static QColor StateTextColour(TileState state);

    QString StateShown() const;
    QString MessageShown() const;
    QString CountsShown() const;
    QString FinishedShown() const;
    bool LampLit() const { return m_lampLit; }
    int PercentShown() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitTexts();

    QLabel* m_port;
    QLabel* m_lamp;
    QLabel* m_counts;
    QLabel* m_state;
    QProgressBar* m_progress;
    QLabel* m_message;
    QLabel* m_finished;
    QString m_fullMessage;
    QString m_stateText;
    bool m_lampLit = false;
};
