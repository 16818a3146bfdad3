// After a seek the stateful effects start again as loading left them: the same frames drawn after
// scene_reset_effects give what they gave right after the load, whatever ran in between.
#include "geometry/effect2d.h"
#include "geometry/mesh_effect.h"
#include "maths/shared_random.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_release.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void read_into(scene::Scene *sc, const char *xml, bool effect2d) {
    resources::XmlNode *doc = resources::xml_parse(xml);
    if (effect2d)
        geometry::effect2d_read(sc->effects2d, doc->first_child);
    else
        geometry::mesh_effect_read(sc->mesh_effects, doc->first_child);
    resources::xml_free(doc);
}

// Lake water's heights and the Amoba image after each of a run of frames (Lake's drops and Amoba's
// growth share the random sequence, so their order matters as it does when a frame draws them).
std::vector<std::vector<uint8_t>> play(scene::Scene *sc, const std::vector<float> &times) {
    geometry::MeshEffect *lake = resources::object_at<geometry::MeshEffect>(sc->mesh_effects, 1);
    geometry::Effect2D *amoba = resources::object_at<geometry::Effect2D>(sc->effects2d, 1);
    std::vector<std::vector<uint8_t>> frames;
    for (float t : times) {
        float p[geometry::kEffect2DParameters] = {t};
        geometry::mesh_effect_apply(lake, p);
        std::vector<uint8_t> image(geometry::effect2d_image_bytes(amoba));
        geometry::effect2d_generate(amoba, p, image.data());
        const float *positions = lake->mesh.positions;
        std::vector<uint8_t> frame(
            reinterpret_cast<const uint8_t *>(positions),
            reinterpret_cast<const uint8_t *>(positions + 3 * lake->mesh.vertex_count));
        frame.insert(frame.end(), image.begin(), image.end());
        frames.push_back(frame);
    }
    return frames;
}

TEST(SceneReset, EffectsReplayAsAfterTheLoad) {
    scene::Scene *sc = scene::scene_create();
    maths::shared_random_seed(1); // a fresh player
    read_into(sc, "<effect type=\"2\" resolution=\"64x64\" bpp=\"24\"/>", true);
    read_into(sc, "<effect type=\"0\"><p>1</p></effect>", false);
    const std::vector<float> times = {0.5f, 1.0f, 2.0f, 3.0f, 3.5f, 4.0f, 6.0f, 7.0f};
    std::vector<std::vector<uint8_t>> first = play(sc, times);
    // Elsewhere in the demo: the water and the cells move on.
    play(sc, {20.0f, 21.0f, 22.0f, 40.0f, 41.0f});
    scene::scene_reset_effects(sc);
    std::vector<std::vector<uint8_t>> again = play(sc, times);
    ASSERT_EQ(again.size(), first.size());
    for (size_t i = 0; i < first.size(); i++)
        EXPECT_EQ(again[i], first[i]) << "frame at " << times[i];
    // Without the reset the same times draw another picture.
    EXPECT_NE(play(sc, times), first);
    scene::scene_release(sc);
}

} // namespace
