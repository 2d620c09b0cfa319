#pragma once

class QWidget;

/// Keeps @p window above ordinary windows (@p topmost true) or takes it out of that band, without moving
/// or resizing it. A shown window stays shown.
void SetTopmost(QWidget* window, bool topmost);
