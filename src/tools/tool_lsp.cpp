// bvtool lsp: the language service on standard input and output (the protocol's Content-Length
// framing), its slow checks (the files a document names, the texture graph, GLSL) on a thread of
// their own once the text has rested, and the unsaved text handed to a preview of the same folder.
#include "tools/bvtool.h"
#include "tools/tool_check.h"
#include "tools/tool_glsl_compiler.h"
#include "tools/tool_unsaved.h"

#include "lsp/language_service.h"
#include "player/platform/platform.h"
#include "resources/log.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tools {

namespace {

using Clock = std::chrono::steady_clock;

// How long the text rests before the slow checks run, and the largest message taken.
constexpr auto kRest = std::chrono::milliseconds(150);
constexpr size_t kMaxMessageBytes = 64u << 20;

struct Server {
    lsp::Service *service;
    std::mutex lock; // the service, and standard output
    std::condition_variable wake;
    Clock::time_point changed;
    bool slow_due, done;
    std::string glsl_note; // why GLSL is not compiled, said once
};

void send_all(const std::vector<std::string> &messages) {
    for (const std::string &m : messages) {
        std::fprintf(stdout, "Content-Length: %zu\r\n\r\n", m.size());
        std::fwrite(m.data(), 1, m.size(), stdout);
    }
    if (!messages.empty()) std::fflush(stdout);
}

// One message's body; false at the end of input or on a header that cannot be read.
bool read_message(std::string *body) {
    size_t length = 0;
    bool have_length = false;
    std::string line;
    for (;;) {
        int c = std::fgetc(stdin);
        if (c == EOF) return false;
        if (c != '\n') {
            line += char(c);
            if (line.size() > 4096) return false;
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            if (have_length) break;
            continue; // blank lines between messages
        }
        if (line.compare(0, 15, "Content-Length:") == 0) {
            char *end = nullptr;
            unsigned long long n = std::strtoull(line.c_str() + 15, &end, 10);
            if (n > kMaxMessageBytes) return false;
            length = size_t(n);
            have_length = true;
        }
        line.clear();
    }
    body->resize(length);
    return length == 0 || std::fread(&(*body)[0], 1, length, stdin) == length;
}

void unsaved(void *, const std::string &folder, const std::string &file, const std::string *text) {
    tool_unsaved_put(folder, file, text);
}

struct SlowHost {
    CheckInput input;
    GlslCompiler *compiler;
};

void compile(void *user, const char *vs, uint32_t vl, const char *fs, uint32_t fl,
             analysis::GlslResult *out) {
    glsl_compiler_compile(static_cast<SlowHost *>(user)->compiler, vs, vl, fs, fl, out);
}

bool slow_read(void *user, const char *name, std::vector<uint8_t> *out) {
    return check_input_read(static_cast<SlowHost *>(user)->input, name, out);
}

void slow_music(void *user, const char *file, analysis::MusicInfo *out) {
    analysis::AnalysisHost h = check_host(static_cast<SlowHost *>(user)->input, false);
    h.music(h.user, file, out);
}

// The slow checks, off the editing thread: each waits for the text to rest, then runs on the newest
// text; the GL context lives on this thread.
void slow_worker(Server *server) {
    std::string why;
    GlslCompiler *compiler = glsl_compiler_open(&why);
    if (!compiler) {
        std::lock_guard<std::mutex> hold(server->lock);
        server->glsl_note = "bvtool lsp: GLSL programs are not compiled: " + why;
    }
    std::unique_lock<std::mutex> hold(server->lock);
    while (!server->done) {
        if (!server->slow_due) {
            server->wake.wait(hold);
            continue;
        }
        if (Clock::now() - server->changed < kRest) {
            server->wake.wait_until(hold, server->changed + kRest);
            continue;
        }
        lsp::SlowJob job;
        if (!lsp::service_take_slow_job(server->service, &job)) {
            server->slow_due = false;
            continue;
        }
        hold.unlock();
        SlowHost host = {CheckInput{job.folder, nullptr, job.folder}, compiler};
        analysis::AnalysisHost analysis_host = check_host(host.input, false);
        analysis_host.user = &host;
        analysis_host.read = slow_read;
        analysis_host.music = slow_music;
        analysis_host.compile = compiler ? compile : nullptr;
        lsp::service_run_slow_job(&job, analysis_host);
        hold.lock();
        std::vector<std::string> out;
        lsp::service_finish_slow_job(server->service, job, &out);
        send_all(out);
    }
    hold.unlock();
    glsl_compiler_close(compiler);
}

} // namespace

int tool_lsp(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool lsp\n"
            "The language server of the scene documents (demo.xml and loading.xml of a demo folder), "
            "speaking\n"
            "the Language Server Protocol 3.17 on standard input and output, for any editor that speaks it:\n"
            "every rule of bvtool check as you type (the files the documents name, the texture graph and\n"
            "the GLSL programs a moment after the text rests; GLSL compiled through EGL without a window),\n"
            "hovers, parameter and record names beside the values, completion, going to a record and "
            "finding\n"
            "what refers to it, an outline, renaming a record, and actions that write a reference as a name\n"
            "or a number and move, delete or copy a record with every numbered reference following it. "
            "While\n"
            "it runs, bvtool preview of the same folder shows the unsaved text. It ends when its client "
            "does.");
        return 0;
    }
    if (argc > 1) {
        tool_fail("lsp: takes no arguments (its client starts it; see bvtool lsp --help)");
        return 2;
    }
    // The protocol owns standard output: the engine's log goes to standard error.
    resources::log_attach(stderr);
    player::platform_binary_stream(stdout);
    player::platform_binary_stream(stdin);
    Server server;
    lsp::ServiceHost host = {nullptr, unsaved};
    server.service = lsp::service_create(host);
    server.slow_due = false;
    server.done = false;
    server.changed = Clock::now();
    std::thread worker(slow_worker, &server);
    int status = 1; // the input ended without a shutdown request
    std::string body;
    bool noted = false;
    while (read_message(&body)) {
        std::vector<std::string> out;
        std::lock_guard<std::mutex> hold(server.lock);
        bool more = lsp::service_handle(server.service, body, &out, &status);
        if (!noted && !server.glsl_note.empty() && body.find("\"initialized\"") != std::string::npos) {
            out.push_back("{\"jsonrpc\":\"2.0\",\"method\":\"window/"
                          "logMessage\",\"params\":{\"type\":3,\"message\":\"" +
                          server.glsl_note + "\"}}");
            noted = true;
        }
        send_all(out);
        if (!more) break;
        if (body.find("\"textDocument/did") != std::string::npos) {
            server.changed = Clock::now();
            server.slow_due = true;
            server.wake.notify_all();
        }
    }
    {
        std::lock_guard<std::mutex> hold(server.lock);
        server.done = true;
        server.wake.notify_all();
    }
    worker.join();
    lsp::service_destroy(server.service);
    return status;
}

} // namespace tools
