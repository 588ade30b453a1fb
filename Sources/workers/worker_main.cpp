#include "workers/worker_service.h"

int main(int argc, char** argv) { return sorvi::runWorkerProcess(argc > 1 ? argv[1] : ""); }
