// The language service of the scene documents: the Language Server Protocol (3.17) over the
// analysis library. Messages in and out are JSON texts; the face (bvtool lsp on standard streams,
// the browser studio's worker) frames and carries them. No file system, GL or process inside: the
// face hands in the files, the music and a GLSL compiler through an analysis host, and is told when
// a document's unsaved text changes so that a preview can follow it.
#pragma once

#include "analysis/analysis.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lsp {

struct ServiceHost {
    void *user;
    // A document's unsaved text changed (text not null) or is again what the file holds (null).
    void (*unsaved)(void *user, const std::string &folder, const std::string &file, const std::string *text);
};

struct Service;

Service *service_create(const ServiceHost &host);
void service_destroy(Service *s);

// Handles one message (the JSON text of a request, response or notification) and appends the
// messages to send. Returns false once the client has asked the server to exit (*exit_status is
// then 0 after a shutdown request, 1 without). A message that is not JSON-RPC gets an error
// response and changes nothing.
bool service_handle(Service *s, const std::string &message, std::vector<std::string> *out, int *exit_status);

// The slow checks of a document (the files it names, the texture graph, the GLSL programs), which
// the face runs off the editing thread after the text has rested.
struct SlowJob {
    std::string uri, folder, file, text;
    int64_t version;
    bool demo;
    std::vector<analysis::Finding> findings;
};
// The newest text of a document whose slow checks are due, or false when none is.
bool service_take_slow_job(Service *s, SlowJob *job);
// Runs a job with the face's host for its folder; touches no service state (any thread).
void service_run_slow_job(SlowJob *job, const analysis::AnalysisHost &host);
// Publishes a job's findings with the document's others, when its text is still the one checked.
void service_finish_slow_job(Service *s, const SlowJob &job, std::vector<std::string> *out);

// Documents the service holds at most, and the largest text it takes (a bound on memory).
constexpr size_t kMaxDocuments = 64;
constexpr size_t kMaxDocumentBytes = 16u << 20;

} // namespace lsp
