#pragma once
// A window's help texts: one balloon per control, blue on white, wrapped at 600 pixels, with a
// close button, shown as soon as the mouse rests on the control, whether or not the window is
// active.

#include <QHash>
#include <QLabel>
#include <QObject>
#include <QPainterPath>
#include <QPointer>
#include <QString>
#include <QWidget>

class QToolButton;

class BalloonTip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxWidth = 600;

    BalloonTip();
    void ShowText(const QString& text, const QPoint& globalPos);
    QString Text() const { return m_text->text(); }

signals:
    void Dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPainterPath Shape(qreal inset) const;

    QLabel* m_text;
    QToolButton* m_close;
};

class BalloonTips : public QObject {
    Q_OBJECT
public:
    explicit BalloonTips(QObject* parent = nullptr);
    ~BalloonTips() override;

    // The control is the tool: the tip follows it wherever it is.
    void Add(QWidget* control, const QString& text);
    // The tip registered for `control`, empty when none.
    QString TextFor(const QWidget* control) const;
    QList<QWidget*> Controls() const;

    // The balloon currently shown, if any (for tests and screenshots).
    BalloonTip* Visible() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHash<const QWidget*, QString> m_texts;
    QList<QPointer<QWidget>> m_controls;
    QPointer<BalloonTip> m_balloon;
    const QWidget* m_shownFor = nullptr;
    const QWidget* m_dismissedFor = nullptr;  // closed until the mouse leaves the control
};
