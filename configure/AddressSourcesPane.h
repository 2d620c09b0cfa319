#pragma once

#include <QElapsedTimer>
#include <QGroupBox>

#include <memory>
#include <vector>

class AddressSource;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class Settings;

/// "Address sources": the IPv4 and the IPv6 source lists of the lookup, edited in place (add, remove,
/// move up and down; every edit stored at once) and tried one by one with "Test", which asks each
/// source once and shows its answer and time, or why it failed.
class AddressSourcesPane : public QGroupBox
{
    Q_OBJECT
public:
    explicit AddressSourcesPane(Settings& settings, QWidget* parent = nullptr);
    ~AddressSourcesPane() override;

    static constexpr int TestTimeoutMs = 5000;

    /// The list shown: false for IPv4, true for IPv6.
    bool showsIPv6() const;
    QStringList shownSources() const;

signals:
    /// Every source of a "Test" has answered, failed or timed out.
    void testFinished();

public slots:
    void showList(int index);
    void addSource();
    void removeSource();
    void moveSource(int step);
    void testSources();

private:
    void fill(const QStringList& uris);
    void store();
    void cancelTest();
    void testDone(int row, const QString& text);
    /// The current row's source and result in full, under the list.
    void showDetails();
    void updateButtons();

    Settings& m_settings;
    std::vector<std::unique_ptr<AddressSource>> m_testing;
    QElapsedTimer m_testClock;
    int m_testsLeft = 0;

    QComboBox* cmbFamily = nullptr;
    QTreeWidget* lstSources = nullptr;
    QLineEdit* txtNewSource = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdTest = nullptr;
    QLabel* lblMessage = nullptr;
    QLabel* lblDetails = nullptr;
};
