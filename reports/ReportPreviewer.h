#pragma once

namespace lerk {

class ReportDocument;

// Shows a prepared report to the person and returns when they close it. The program shows the preview
// window (ReportPreview); tests and the command line put something in its place that records or writes
// the report without showing anything.
class ReportPreviewer
{
public:
    virtual ~ReportPreviewer() = default;
    virtual void showPreview(ReportDocument &document) = 0;
};

} // namespace lerk
