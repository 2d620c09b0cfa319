#pragma once

#include <QDialog>

class QCheckBox;
class QTextBrowser;
class Settings;
struct RtfDocument;

/// The help window "Readme/Help": Help.rtf in the rich-text box `rtf1` above the check box "Show at
/// Startup", which writes the setting "showHelp".
class Form8 : public QDialog
{
    Q_OBJECT
public:
    Form8(Settings& settings, QWidget* parent = nullptr);

    /// Form_Load: reads @p helpFile (found by the caller with FileExists) into rtf1, keeps the window
    /// above ordinary windows and sets Check1 from "showHelp". A file that cannot be read shows a line
    /// that says so.
    void Form_Load(const QString& helpFile);

    /// Fills @p browser with what the RTF reader made of the file.
    static void showDocument(const RtfDocument& document, QTextBrowser* browser);

private slots:
    void Check1_Click();

private:
    Settings& m_settings;
    QTextBrowser* rtf1 = nullptr;
    QCheckBox* Check1 = nullptr;
};
