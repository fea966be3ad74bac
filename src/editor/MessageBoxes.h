#pragma once

// Makes the message seam show its messages as message boxes (the window program). With no screen
// to show a box on, a message still goes to standard error and takes its default answer.
void InstallMessageBoxes();
