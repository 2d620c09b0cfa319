#include "desktop/frmAbout.h"

#include "core/ProductInfo.h"
#include "desktop/modIcon.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace {

QLabel* label(const char* name, const QString& text, const QFont& font)
{
    auto* l = new QLabel(text);
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    return l;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* Picture1 = new QLabel;
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(productPicture(QStringLiteral("about-logo.png"), devicePixelRatio()));
    Picture1->setAlignment(Qt::AlignTop);

    QFont title(QStringLiteral("Verdana"));
    title.setPointSizeF(14.25);
    title.setBold(true);
    QFont rows(QStringLiteral("Verdana"));
    rows.setBold(true);

    Label1 = label("Label1", QString(), title);
    lblVersion = label("lblVersion", QString(), rows);
    lblCompany = label("lblCompany", QString(), rows);
    lblWebsite = label("lblWebsite", QString(), rows);
    lblWebsite->setTextFormat(Qt::RichText);
    lblWebsite->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblWebsite->setCursor(Qt::PointingHandCursor);
    connect(lblWebsite, &QLabel::linkActivated, this, [this] { emit lblWebsite_Click(); });

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(label("Label2", QStringLiteral("Version:"), rows), 1, 0);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(label("Label3", QStringLiteral("Owned By:"), rows), 2, 0);
    grid->addWidget(lblCompany, 2, 1);
    grid->addWidget(label("Label4", QStringLiteral("Website:"), rows), 3, 0);
    grid->addWidget(lblWebsite, 3, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);

    auto* row = new QHBoxLayout(this);
    row->addWidget(Picture1, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(grid, 1);
}

void frmAbout::Form_Load(const ProductInfo& product)
{
    setWindowTitle(QStringLiteral("About ") + product.productName);
    Label1->setText(product.productName);
    lblVersion->setText(product.version());
    lblCompany->setText(product.companyName);
    // QLabel draws links in the palette's link colour, which a dark palette keeps readable.
    lblWebsite->setText(QStringLiteral("<a href=\"website\">%1</a>").arg(product.website.toHtmlEscaped()));
    lblWebsite->setAccessibleName(product.website);
    // A fixed single border: the window keeps the size its contents need.
    adjustSize();
    setFixedSize(size());
}
