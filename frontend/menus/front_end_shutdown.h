// Front-end shutdown: the front end's long-lived objects are released before video stops.
#pragma once

#include <string>
#include <vector>

void TvShutDownFrontEnd();
// The releases of the last shutdown, in their order.
const std::vector<std::string>& TvFrontEndReleaseSteps();
