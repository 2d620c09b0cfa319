#pragma once

#include <QDialog>

class QLabel;
struct ProductInfo;

/// The About window: the logo, the product name, the version (major.minor), the company and the
/// website as a link. Clicking the website asks for the website window (lblWebsite_Click).
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    /// Form_Load: fills the title and the labels from @p product.
    void Form_Load(const ProductInfo& product);

signals:
    void lblWebsite_Click();

private:
    QLabel* Label1 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCompany = nullptr;
    QLabel* lblWebsite = nullptr;
};
