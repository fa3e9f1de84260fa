#pragma once
// The executable's name without folder or extension: the source that run-time errors of
// this library carry.
#include <QString>

namespace imaging {
QString programName();
}
