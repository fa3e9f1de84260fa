#include "BuildGraph.h"

#include <optional>
#include <vector>

namespace {

std::optional<camgraph::PinInfo> findPin(const camgraph::FilterInfo& filter, const QString& upperName) {
  for (const camgraph::PinInfo& pin : filter.Pins())
    if (pin.Name().toUpper() == upperName) return pin;
  return std::nullopt;
}

}  // namespace

std::int16_t BuildGraph(camgraph::FilterGraph& graph, const QString& filters, const QString& connections) {
  // An empty list has no entries at all, not one empty entry.
  const QStringList entries = filters.isEmpty() ? QStringList() : filters.toUpper().split(QLatin1Char('|'));
  std::vector<std::optional<camgraph::FilterInfo>> chain(entries.size());

  for (qsizetype i = 0; i < entries.size(); ++i) {
    const QStringList parts = entries[i].split(QLatin1Char('~'));
    const QString& name = parts[0];
    const bool needsPin = parts.size() > 1;
    bool found = false;
    for (const camgraph::RegFilterInfo& reg : graph.RegFilterCollection()) {
      if (reg.Name.toUpper() != name) continue;
      chain[i] = graph.Filter(reg);
      if (!needsPin || findPin(*chain[i], parts[1])) {
        found = true;
        break;
      }
    }
    if (!found) return static_cast<std::int16_t>(i);
  }

  if (connections.isEmpty()) return -1;
  const QStringList links = connections.toUpper().split(QLatin1Char('|'));
  for (qsizetype j = 0; j < links.size(); ++j) {
    const auto code = static_cast<std::int16_t>(100 + j);
    const QStringList parts = links[j].split(QLatin1Char('~'));
    if (parts.size() < 2 || j + 1 >= qsizetype(chain.size())) return code;
    const auto out = findPin(*chain[j], parts[0]);
    const auto in = findPin(*chain[j + 1], parts[1]);
    if (!out || !in) return code;
    out->ConnectDirect(*in);
  }
  return -1;
}
