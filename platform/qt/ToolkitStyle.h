#pragma once

// The widget style the program runs with: the toolkit's own, except for the icons it would
// read from picture files while the main window is built.

class QStyle;

namespace planora::detail {

// Returns a new style around the application's current one; the caller hands it to
// QApplication::setStyle, which takes it over.
QStyle* makeToolkitStyle();

} // namespace planora::detail
