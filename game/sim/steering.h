// Mouse steering of the ball and the camera, and the camera's follow of the ball.
#pragma once

void steer_player();
void follow_camera();
