#include "effects/EffectFamily.h"

#include "effects/BallsBounce.h"
#include "effects/Brum.h"
#include "effects/ChaosZoomer.h"
#include "effects/Circles.h"
#include "effects/ColorBox.h"
#include "effects/ImageLayers.h"
#include "effects/Manden.h"
#include "effects/Mirror.h"
#include "effects/NanoBall.h"
#include "effects/Plasma2D.h"
#include "effects/PluginLoader.h"
#include "effects/PolarCoords.h"
#include "effects/PosedObjects.h"
#include "effects/Prikker.h"
#include "effects/QuelmRinge.h"
#include "effects/Rubber3d.h"
#include "effects/ShaderShow.h"
#include "effects/ShaderSuite3D.h"
#include "effects/ShaderToy.h"
#include "effects/Spheres.h"
#include "effects/Stroboskop.h"
#include "effects/Tunnel.h"
#include "effects/TwistBox.h"
#include "effects/Video.h"
#include "effects/WalkCube.h"
#include "effects/Zoomers.h"

using namespace Effekter;

namespace {

constexpr ExtraLine number(std::string_view meaning) { return {true, meaning}; }
constexpr ExtraLine text(std::string_view meaning) { return {false, meaning}; }

// For the families that need nothing of the show.
template <class EffectClass>
std::unique_ptr<Effekt> makeBare(const EffectContext&, const EntryValues& values) {
    return std::make_unique<EffectClass>(values.start, values.end);
}

std::unique_ptr<Effekt> makePlugin(const EffectContext& context, const EntryValues& v) {
    return std::make_unique<PluginLoader>(context, v.start, v.end, v.texts[0], v.script);
}

std::unique_ptr<Effekt> makeAlphaBlendImage(const EffectContext& context, const EntryValues& v) {
    return std::make_unique<AlphaBlendImage>(context, v.start, v.end, v.texts[0], v.texts[1]);
}

std::unique_ptr<Effekt> makePlasma2D(const EffectContext& context, const EntryValues& v) {
    return std::make_unique<Plasma2D>(context, v.start, v.end, v.numbers[0]);
}

std::unique_ptr<Effekt> makeShaderShow(const EffectContext& context, const EntryValues& v) {
    return std::make_unique<ShaderShow>(context, v.start, v.end, v.texts[0], v.texts[1]);
}

std::unique_ptr<Effekt> makeShaderToy(const EffectContext& context, const EntryValues& v) {
    return std::make_unique<ShaderToy>(context, v.start, v.end, v.texts[0]);
}

// A new family: its files, and one row here.
const std::vector<EffectFamily> families = {
    {.keyword = "Plugin",
     .summary = "an effect from a plug-in library, a shared object exporting Init and Draw",
     .extraLines = {text("the library path")},
     .make = makePlugin,
     .readsOwnLines = true,
     .keepsUnknownPictures = true},
    {.keyword = "ChaosZoomer",
     .summary = "a feedback zoomer switching between four scenes",
     .make = makePlain<ChaosZoomer>,
     .files = {"data/misc/split.txt", "data/misc/border.jpg", "data/misc/blomster.jpg",
               "data/misc/pem.jpg", "data/misc/mig.jpg", "data/misc/bust.jpg",
               "data/misc/quelm.jpg", "data/misc/simple.3ds", "data/misc/env.jpg",
               "data/misc/twist.jpg"}},
    {.keyword = "Stroboskop",
     .summary = "a band of images drifting sideways behind a text mask",
     .make = makePlain<Stroboskop>,
     .files = {"data/strobo/bg.jpg", "data/strobo/text.jpg", "data/strobo/twist.jpg"}},
    {.keyword = "Rubber3d",
     .summary = "a chrome model crossing the screen, thrown at the viewer by loud beats",
     .make = makePlain<Rubber3d>,
     .files = {"data/rubber/simple.3ds", "data/rubber/env.jpg", "data/rubber/background.jpg",
               "data/rubber/background1.jpg"}},
    {.keyword = "Plasma2D",
     .summary = "a shader plasma over rippling water",
     .extraLines = {number("the seed")},
     .make = makePlasma2D,
     .files = {"data/plasma/__water.jpg", "data/plasma/effekt2.fs"}},
    {.keyword = "Brum",
     .summary = "a sprite on a looping path with a trail of stars",
     .make = makePlain<Brum>,
     .files = {"data/mirok/brum/brum.png", "data/mirok/brum/pastelmand.jpg",
               "data/mirok/brum/stjern1.jpg"}},
    {.keyword = "Banger",
     .summary =
         "an image sliding in through a shader, then pulsing with a second image on the beat",
     .make = makePlain<Banger>,
     .files = {"data/bravelund/banger/slider.txt", "data/bravelund/banger/bang.jpg",
               "data/bravelund/banger/bang1.jpg"}},
    {.keyword = "ColorBox",
     .summary = "a grid of spinning tiles whose brightest cell jumps on the beat",
     .make = makePlain<ColorBox>,
     .files = {"data/colorbox/colorbox1.jpg", "data/colorbox/colorbox2.jpg",
               "data/colorbox/star.jpg"}},
    {.keyword = "Zoomba",
     .summary = "tiles flying at the viewer over a glowing background",
     .make = makePlain<Zoomba>,
     .files = {"data/zoomer/bg.jpg", "data/zoomer/bg1.jpg", "data/zoomer/zoomer1.jpg",
               "data/zoomer/zoomer2.jpg"}},
    {.keyword = "Zoombb",
     .summary = "Zoomba with other tiles",
     .make = makePlain<Zoombb>,
     .files = {"data/zoomer/bg.jpg", "data/zoomer/bg1.jpg", "data/zoomer/zoomer2-old.jpg"}},
    {.keyword = "Solaris",
     .summary = "a curved stream of glowing sprites coming at the viewer under a darkening mask",
     .make = makePlain<Solaris>,
     .files = {"data/solaris/solaris1.jpg", "data/solaris/solaris2.jpg", "data/solaris/it.jpg"}},
    {.keyword = "FlashWhite",
     .summary = "a white flash over the whole picture, fading out over its window",
     .make = makeBare<FlashWhite>},
    {.keyword = "PolarCoords",
     .summary = "tumbling boxes seen through a polar-coordinates shader",
     .make = makePlain<PolarCoords>,
     .files = {"data/housing.jpg", "data/polar.fs"}},
    {.keyword = "FogRotator",
     .summary = "three textured poles lying across the screen, a still picture",
     .make = makePlain<FogRotator>,
     .files = {"data/mirok/fog/pole1.jpg"}},
    {.keyword = "WalkCube",
     .summary = "a cube hopping over a chequered ground",
     .make = makePlain<WalkCube>,
     .files = {"data/bravelund/walk/skak.png", "data/bravelund/walk/skygge.png",
               "data/bravelund/walk/floorshader.fs", "data/bravelund/walk/cubeshader.fs",
               "data/bravelund/walk/cubeshader.vs"}},
    {.keyword = "AlphaBlendImage",
     .summary = "an image crossing, fading or pulsing over the picture by one of eleven modes",
     .extraLines = {text("the image path"), text("the mode word")},
     .make = makeAlphaBlendImage},
    {.keyword = "Tunnel",
     .summary = "clouds flying at the viewer along a winding spiral",
     .make = makePlain<Tunnel>,
     .files = {"data/sky/clouds.jpg", "data/sky/landskab1.jpg", "data/sky/landskab1_add.jpg"}},
    {.keyword = "Faces",
     .summary = "a picture seen through rippling rings, with a text pulsing on the beat",
     .make = makePlain<Faces>,
     .files = {"data/circles/circles.txt", "data/circles/circles.jpg", "data/circles/text.jpg"}},
    {.keyword = "TwistBox",
     .summary = "a twisted column of slices under a bump shader",
     .make = makePlain<TwistBox>,
     .files = {"data/__grid.jpg", "data/bump.fs"}},
    {.keyword = "Circles",
     .summary = "a ring picture seen through rippling rings",
     .make = makePlain<Circles>,
     .files = {"data/circles/circles.txt", "data/circles/__ring.jpg"}},
    {.keyword = "NanoBall",
     .summary = "a ball of spikes that grows and swings with the music",
     .make = makePlain<NanoBall>,
     .files = {"data/bravelund/nanoball/bg.jpg", "data/bravelund/nanoball/zoomer1.jpg",
               "data/bravelund/nanoball/flare.jpg", "data/bravelund/nanoball/cubeshader.fs",
               "data/bravelund/nanoball/cubeshader.vs", "data/bravelund/nanoball/bend.fs"}},
    {.keyword = "Overlays",
     .summary = "draws nothing: a place-holder entry",
     .make = makeBare<Overlays>},
    {.keyword = "EndDemo",
     .summary = "ends the show at its start time",
     .make = makeBare<EndDemo>,
     .endsShow = true},
    {.keyword = "ShaderSuite3D",
     .summary = "the chrome model drawn twenty times as shells, drifting in from the left",
     .make = makePlain<ShaderSuite3D>,
     .files = {"data/rubber/simple.3ds", "data/rubber/env.jpg", "data/rubber/background.jpg",
               "data/rubber/background1.jpg", "data/suite/fs.txt", "data/suite/vs.txt"}},
    {.keyword = "Quelm3D",
     .summary = "the built-in goblet model, lit (it leaves lighting on)",
     .make = makeBare<Quelm3D>},
    {.keyword = "Prikker",
     .summary = "a long row of blinking dots drifting left",
     .make = makePlain<Prikker>,
     .files = {"data/mirok/prikker/prik1.png", "data/mirok/prikker/prik2.png",
               "data/mirok/prikker/prik3.png", "data/mirok/prikker/prik4.png"}},
    {.keyword = "Video",
     .summary = "the video through a feedback picture and a distortion shader",
     .make = makePlain<Video>,
     .files = {"data/mirok/video/Video.avi", "data/mirok/video/frame.png",
               "data/mirok/video/video.fs", "data/mirok/video/distort.fs"}},
    {.keyword = "Spheres",
     .summary = "a white sphere with a stream of cubes flowing through it",
     .make = makePlain<Spheres>,
     .files = {"data/bravelund/spheres/towers.png", "data/bravelund/spheres/white.png",
               "data/bravelund/spheres/shader.fs", "data/bravelund/spheres/towerenv.png"}},
    {.keyword = "Mirror",
     .summary = "a tumbling textured cube",
     .make = makePlain<Mirror>,
     .files = {"data/bravelund/tolvik/boks.jpg", "data/bravelund/tolvik/cube.fs",
               "data/bravelund/tolvik/cube.vs"}},
    {.keyword = "BallsBounce",
     .summary = "balls bouncing with the beat on a tilted floor",
     .make = makePlain<BallsBounce>,
     .files = {"data/bravelund/bounce/skak.png", "data/bravelund/bounce/skygge.png",
               "data/bravelund/bounce/floorshader.fs", "data/bravelund/bounce/cubeshader.fs",
               "data/bravelund/bounce/cubeshader.vs"}},
    {.keyword = "Manden",
     .summary = "a figure with scrolling greetings and a waving double helix",
     .make = makePlain<Manden>,
     .files = {"data/bravelund/mansphere/manden.png", "data/bravelund/mansphere/greets.png",
               "data/bravelund/mansphere/pole.jpg", "data/bravelund/mansphere/manden.fs"}},
    {.keyword = "QuelmRinge",
     .summary = "spinning rings that switch on strong beats",
     .make = makePlain<QuelmRinge>,
     .files = {"data/bravelund/ringe/bg.png", "data/bravelund/ringe/rotate.png"}},
    {.keyword = "ShaderShow",
     .summary = "an image through a fragment shader of your own",
     .extraLines = {text("the fragment shader path"), text("the image path")},
     .make = makeShaderShow},
    {.keyword = "ShaderToy",
     .summary = "a shader written for Shadertoy, with its buffers and channels",
     .extraLines = {text("the image pass's shader path")},
     .make = makeShaderToy},
};

} // namespace

std::span<const EffectFamily> effectFamilies() { return families; }
