#pragma once
// Builds a chain of filters from two texts. `filters`: entries split by "|", each a filter
// name, optionally "~" and a pin the filter must have. `connections`: entry j is an output
// pin of filter j, "~", and an input pin of filter j + 1. Names match regardless of case.
//
// Returns -1 when the chain stands; i when filter entry i was not found; 100 + j when the
// pins of connection entry j were not both found (an entry past the last filter or without
// "~" included). Filters and links already made stay in the graph. A filter that can't be
// made or a link the pins refuse throws vb::VbError from the graph.
#include <QString>
#include <cstdint>

#include "filtergraph.h"

std::int16_t BuildGraph(camgraph::FilterGraph& graph, const QString& filters, const QString& connections);
