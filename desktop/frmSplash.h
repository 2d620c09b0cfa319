#pragma once

#include <QWidget>

#include <functional>

class QTimer;

/// The first window: shows the splash picture and, after 75 ticks of its timer, loads and shows the main
/// window through the hand-over given to it, then hides itself. It stays, hidden, until shutdown.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    /// The timer's tick in milliseconds: 2 ms, so that the 75 ticks last about 150 ms.
    static constexpr int DefaultTickMs = 2;
    static constexpr int HandOverCount = 150;  // the counter grows by 2 per tick

    explicit frmSplash(std::function<void()> loadMainWindow, int tickMs = DefaultTickMs, QWidget* parent = nullptr);

    /// Form_Load: product information, then the timer starts.
    void Form_Load();
    int counter() const { return m_counter; }
    bool handedOver() const { return m_handedOver; }

signals:
    void handOverDone();

private slots:
    void Timer2_Timer();

private:
    std::function<void()> m_loadMainWindow;
    QTimer* Timer2 = nullptr;
    qint16 m_counter = 0;
    bool m_handedOver = false;
};
