#include "workers/worker_service.h"

int main() { return sorvi::runWorkerProcess(); }
