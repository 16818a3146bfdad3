#include "tools/tool_preview_strip.h"
#include "tools/tool_check.h"
#include "tools/tool_time.h"

#include "render/layer.h"
#include "resources/log.h"
#include "resources/object_list.h"
#include "scene/scene.h"

#include <GL/glew.h>
#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <map>

namespace tools {

namespace {

constexpr float kStripAlpha = 0.92f;
constexpr int32_t kCurveWidth = 380;
constexpr int32_t kCurvePanelHeight = 104;

// Reads the folder's documents and music again (the music only when it is another file).
void strip_read(PreviewStrip *s) {
    s->model_ok = false;
    s->functions.clear();
    CheckInput in = {s->folder, nullptr, s->folder};
    std::string text, file, why;
    if (!tool_demo_document(in, false, &text, &file, &why)) return;
    FILE *log = resources::log_attached();
    resources::log_attach(nullptr);
    analysis::AnalysisHost host = check_host(in, false);
    host.read = nullptr;
    analysis::AnalysisDocument doc = {file.c_str(), text.data(), text.size(), true};
    std::vector<analysis::Finding> problems;
    s->model_ok = analysis::analysis_timeline(doc, host, &s->model, &problems) &&
                  analysis::analysis_functions(doc, &s->functions, &problems);
    resources::log_attach(log);
    if (s->model_ok && s->model.music_file != s->wave_file) {
        timeline_waveform(in, s->model.music_file, &s->wave);
        s->wave_file = s->model.music_file;
    }
}

void upload(uint32_t *texture, int32_t w, int32_t h, const std::vector<uint8_t> &rgb) {
    if (!*texture) glGenTextures(1, texture);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, w, h, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
}

// Makes the strip's picture for the window's size.
void strip_make(PreviewStrip *s, int32_t ww, int32_t wh) {
    if (s->stale) strip_read(s);
    s->stale = false;
    s->width = ww;
    s->window_height = wh;
    s->height = 0;
    if (!s->model_ok) return;
    TimelineStyle style = {ww, 0, 0, false, 0.0, ""};
    Picture picture;
    timeline_picture(s->model, s->wave, style, &picture, &s->axis, &s->rows_top, &s->rows_bottom);
    if (picture.height > wh / 2) {
        style.height = wh / 2;
        timeline_picture(s->model, s->wave, style, &picture, &s->axis, &s->rows_top, &s->rows_bottom);
    }
    s->height = picture.height;
    picture_raster(picture, &s->rgb);
    upload(&s->texture, picture.width, picture.height, s->rgb);
}

// The window in pixels, y downwards, blended, nothing of the demo's state in the way.
void gl_begin(int32_t ww, int32_t wh) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, ww, wh, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glUseProgram(0);
    for (int unit = 1; unit < 4; unit++) {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP);
    }
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_TEXTURE_CUBE_MAP);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_SCISSOR_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(0, 0, ww, wh);
    glEnable(GL_BLEND);
    if (glBlendEquation) glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void gl_end() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glPopAttrib();
}

void textured_quad(uint32_t texture, double x, double y, double w, double h, float alpha) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(1, 1, 1, alpha);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2d(x, y);
    glTexCoord2f(1, 0);
    glVertex2d(x + w, y);
    glTexCoord2f(1, 1);
    glVertex2d(x + w, y + h);
    glTexCoord2f(0, 1);
    glVertex2d(x, y + h);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

void solid_quad(double x, double y, double w, double h, float r, float g, float b) {
    glColor4f(r, g, b, 1.0f);
    glBegin(GL_QUADS);
    glVertex2d(x, y);
    glVertex2d(x + w, y);
    glVertex2d(x + w, y + h);
    glVertex2d(x, y + h);
    glEnd();
}

// The functions the active layers evaluate now, each with the times they evaluate it at.
std::map<int32_t, std::vector<double>> functions_in_use(const PreviewStrip *s, const scene::Scene *sc,
                                                        uint32_t t) {
    std::map<int32_t, std::vector<double>> used;
    for (int slot = 0; sc && slot < render::kLayerSlotCount; slot++) {
        uint32_t index, local;
        if (!render::layer_find_active(&sc->slots[slot], t, &index, &local)) continue;
        const render::Layer *layer = resources::short_at<render::Layer>(sc->slots[slot].layers, index + 1);
        for (const analysis::TimelineLayer &l : s->model.layers) {
            if (l.slot != slot || l.index != int32_t(index + 1)) continue;
            for (int32_t f : l.functions)
                used[f].push_back(double(local) + (layer ? layer->offset : 0));
        }
    }
    return used;
}

void curves_make(PreviewStrip *s, const std::map<int32_t, std::vector<double>> &used, int32_t room) {
    s->curve_functions.clear();
    s->curve_places.clear();
    int32_t fit = std::max(1, room / kCurvePanelHeight);
    Picture picture;
    picture.background = kWhite;
    picture.width = kCurveWidth;
    for (const auto &u : used) {
        if (int32_t(s->curve_functions.size()) == fit) break;
        if (u.first < 1 || size_t(u.first) > s->functions.size()) continue;
        const analysis::DocumentFunction &f = s->functions[size_t(u.first - 1)];
        PlotPanel panel = {};
        panel.x = 4;
        panel.y = 4 + double(s->curve_functions.size()) * kCurvePanelHeight;
        panel.w = kCurveWidth - 8;
        panel.h = kCurvePanelHeight - 6;
        plot_default_range(f, &s->model, &panel.t0, &panel.t1);
        panel.bpm = 0;
        s->curve_places.push_back(plot_panel(&picture, f, panel));
        s->curve_functions.push_back(u.first);
    }
    picture.height = 4 + int32_t(s->curve_functions.size()) * kCurvePanelHeight;
    s->curve_width = picture.width;
    s->curve_height = s->curve_functions.empty() ? 0 : picture.height;
    if (s->curve_height == 0) return;
    picture_raster(picture, &s->curve_rgb);
    upload(&s->curve_texture, picture.width, picture.height, s->curve_rgb);
}

} // namespace

void preview_strip_stale(PreviewStrip *s, const std::string &folder) {
    s->folder = folder;
    s->stale = true;
    s->height = 0;
    s->curve_functions.clear();
    s->curve_height = 0;
}

bool preview_strip_key(PreviewStrip *s, int32_t key, int32_t ww, int32_t wh, std::string *say) {
    if (key == SDLK_t) {
        s->shown = !s->shown;
        if (!s->shown) {
            *say = "timeline strip off";
            return true;
        }
        strip_make(s, ww, wh);
        if (!s->model_ok) {
            *say = "timeline strip on: the documents cannot be read";
            return true;
        }
        double top = wh - s->height;
        char line[256];
        std::snprintf(line, sizeof line, "timeline strip on: %s at x=%.0f, %s at x=%.0f, rows y=%.0f to %.0f",
                      tool_time_document(uint32_t(s->axis.t0)).c_str(), s->axis.x0,
                      tool_time_document(uint32_t(s->axis.t1)).c_str(), s->axis.x1, top + s->rows_top,
                      top + s->rows_bottom);
        *say = line;
        return true;
    }
    if (key == SDLK_c) {
        s->curves = !s->curves;
        s->curve_functions.clear();
        s->curve_height = 0;
        *say = s->curves ? "curves on" : "curves off";
        return true;
    }
    return false;
}

bool preview_strip_click(const PreviewStrip *s, int32_t x, int32_t y, double *ms) {
    if (!s->shown || s->height == 0) return false;
    double top = s->window_height - s->height;
    if (y < top + s->rows_top - 14 || y > top + s->rows_bottom) return false;
    if (x < s->axis.x0 || x > s->axis.x1) return false;
    // The pixel's centre, on the nearest hundredth.
    double t = std::round(axis_time(s->axis, x + 0.5));
    *ms = std::max(0.0, t) * 10.0;
    return true;
}

void preview_strip_draw(PreviewStrip *s, const scene::Scene *sc, int32_t ww, int32_t wh, uint32_t ms) {
    if (!s->shown && !s->curves) return;
    if (s->stale || (s->shown && (s->width != ww || s->window_height != wh))) strip_make(s, ww, wh);
    if (!s->model_ok) return;
    gl_begin(ww, wh);
    double t = ms / 10;
    int32_t strip_h = s->shown ? s->height : 0;
    if (s->shown && s->height > 0) {
        double top = wh - s->height;
        textured_quad(s->texture, 0, top, s->width, s->height, kStripAlpha);
        double x = std::floor(axis_x(s->axis, t));
        solid_quad(x - 1, top + s->rows_top - 14, 3, s->rows_bottom - s->rows_top + 14, 0.9f, 0.1f, 0.1f);
    }
    if (s->curves) {
        std::map<int32_t, std::vector<double>> used = functions_in_use(s, sc, uint32_t(t));
        std::vector<int32_t> ids;
        for (const auto &u : used)
            ids.push_back(u.first);
        int32_t room = wh - strip_h - 16;
        if (s->curve_height == 0 || ids.size() < s->curve_functions.size() ||
            !std::equal(s->curve_functions.begin(), s->curve_functions.end(), ids.begin()))
            curves_make(s, used, room);
        if (s->curve_height > 0) {
            double cx = ww - s->curve_width - 8, cy = 8;
            textured_quad(s->curve_texture, cx, cy, s->curve_width, s->curve_height, kStripAlpha);
            for (size_t i = 0; i < s->curve_functions.size(); i++) {
                const PlotPlaced &p = s->curve_places[i];
                for (double te : used[s->curve_functions[i]]) {
                    if (te < p.t0 || te > p.t1 || p.t1 <= p.t0) continue;
                    double x = cx + std::floor(p.x0 + (te - p.t0) * (p.x1 - p.x0) / (p.t1 - p.t0));
                    solid_quad(x, cy + p.y1, 2, p.y0 - p.y1, 0.9f, 0.1f, 0.1f);
                }
            }
        }
    }
    gl_end();
}

void preview_strip_close(PreviewStrip *s) {
    if (s->texture) glDeleteTextures(1, &s->texture);
    if (s->curve_texture) glDeleteTextures(1, &s->curve_texture);
    s->texture = s->curve_texture = 0;
}

} // namespace tools
