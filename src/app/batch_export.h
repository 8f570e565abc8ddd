// Batch exports (batch_export.cpp).
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"
#include "export/export_jobs.h"

#include <string>
#include <vector>

// Export > "Export &All..." (every entry) or "Export &Listed..." (the lines the
// list shows): asks for a folder and a form, runs the export jobs under the
// window's progress dialog and shows what was written, skipped and failed.
void OnExportBatch(ViewerWindow &window, bool listedOnly);

// The forms the batch export offers, in the order of BatchExportRequest::form.
std::vector<std::string> App_BatchFormNames();

// The summary shown when a batch export ends: counts, the folder, the failures
// (the first 20), and how far a cancelled job came.
std::string App_BatchSummary(const ExportJobSummary &summary, const std::vector<std::string> &failures,
                             const std::string &folder, size_t total);

// Export All or Export Listed in folder mode: each archive's entries into a
// folder of its name under the chosen one.
void App_ExportFolder(ViewerWindow &window, const BatchExportRequest &request, ExportJobOptions options,
                      bool listedOnly);
