// Front-end shutdown: the front end's long-lived objects are released before video stops.
#pragma once

void TvShutDownFrontEnd();
