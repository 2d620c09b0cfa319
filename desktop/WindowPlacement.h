#pragma once

class QWidget;

/// Shrinks @p window to at most the available area of @p near's screen (the primary screen without @p near)
/// and centres it there. A window of fixed size keeps it fixed, at the smaller size if it had to shrink.
void placeOnScreenOf(QWidget* window, const QWidget* near);
