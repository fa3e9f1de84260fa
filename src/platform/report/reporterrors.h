#pragma once
// Error numbers and source of the report component's failures.
#include <QString>

namespace report {

inline const QString kSource = QStringLiteral("CardReportX");
// A template that cannot be used (as VB's "Error loading from file").
constexpr long kErrTemplate = 31037;
// A step out of order, or a name the template does not know.
constexpr long kErrCall = 5;
// The output cannot be written.
constexpr long kErrOutput = 75;

}  // namespace report
