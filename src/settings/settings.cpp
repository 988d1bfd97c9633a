#include "settings.h"

ComSetRecord gstComSet;
FlowCtrlRecord gstFlowCtrl;
TimeoutsRecord gstTimeouts;
TermOptRecord gstTermOpt;
DataTransRecord gstDataTrans;
