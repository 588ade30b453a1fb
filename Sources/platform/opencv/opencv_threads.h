#pragma once

namespace sorvi {

// Makes OpenCV run its loops on the calling thread: a worker process reads
// one image at a time, and the cores are shared out between workers.
void keepOpenCvOnCallingThread();

}  // namespace sorvi
