#pragma once

#include <QIcon>

namespace tf {

// The pictures the two tabs show in place of captions: a page of titles and a playing disc.
QIcon titlesTabIcon();
QIcon audioTabIcon();

} // namespace tf
