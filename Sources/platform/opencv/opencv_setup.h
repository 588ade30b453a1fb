#pragma once

namespace sorvi {

// Makes OpenCV run its loops on the calling thread (a worker process reads
// one image at a time; the cores are shared out between workers) and keeps
// its logging off standard error, and registers the layer types of our own
// that the rewritten models use.
void setUpOpenCv();

}  // namespace sorvi
