// The size of the frame that the renderer draws and every platform shows: 640 x 480
// palette indices, pitch 640. Defined here once for both.
#pragma once

constexpr int FRAME_WIDTH = 640;
constexpr int FRAME_HEIGHT = 480;
