#pragma once

#include <QIcon>
#include <QPixmap>

class QWidget;

/// The product icon in every size the program carries.
QIcon productIcon();

/// The product icon with @p mark (a small standard icon) drawn over its lower right quarter.
QIcon markedProductIcon(const QIcon& mark);

/// One of the product's pictures ("splash.png", "about-logo.png"); on a screen with more than one device pixel
/// per logical pixel its twice as large variant, of the same logical size.
QPixmap productPicture(const QString& name, qreal devicePixelRatio);

/// Sets the product icon on @p window; with @p ownerToo also on the top-level window that owns it and as
/// the application's icon, which the task bar shows.
void SetWindowIcon(QWidget* window, bool ownerToo);
