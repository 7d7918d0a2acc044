// overlay.cpp -- help, state and notice text over the view; see overlay.h.
#include "app/overlay.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "image/bitmapFont.h"
#include "scene/sceneConfig.h"
#include "terrain/terrainAlgorithm.h"

int helpShown = 0;
int informationShown = 0;

namespace {

std::string notice;
std::string drawnText;

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0) {
    char text[128];
    snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

void append(std::string& text, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (!text.empty()) text += "\n";
        text += line;
    }
}

}  // namespace

bool viewOverlaysShown() { return helpShown || informationShown || !notice.empty(); }

void toggleHelp() { helpShown = 1 - helpShown; }
void closeHelp() { helpShown = 0; }
void toggleInformation() { informationShown = 1 - informationShown; }
void setViewNotice(const std::string& text) { notice = text; }
const std::string& viewNotice() { return notice; }

std::string terrainAlgorithmName(int id, bool anonymous) {
    const std::vector<TerrainAlgorithm*>& all = terrainAlgorithms();
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i]->id() != id) continue;
        if (anonymous) return "Algorithm " + std::to_string(i + 1);
        if (!all[i]->drawsTerrain()) return "Quad-tree (draws nothing)";
        std::string label = all[i]->menuLabel();
        std::string name;
        for (char c : label)
            if (c != '&') name += c;
        return name;
    }
    return "unknown";
}

std::string plantSchemeName(int scheme, bool anonymous) {
    if (scheme < 1 || scheme > 5) return "unknown";
    if (anonymous) return "Algorithm " + std::to_string(scheme);
    static const char* const names[] = {"Brute Force", "X Billboards", "Billboards", "Mixed based on distance",
                                        "Smooth transition based on distance"};
    return names[scheme - 1];
}

const std::vector<std::string>& keyHelpLines(bool anonymous) {
    static const std::vector<std::string> named = {
        "Keys                       (F1 or Escape closes this)",
        "",
        "W / Up, S / Down      step forward, backward",
        "A / Left, D / Right   step left, right",
        "left button held      look around with the mouse",
        "right button          look mode on or off",
        "C                     crouch or stand",
        "R                     camera back to the start view",
        "1 2 3 4               brute force, geomipmapping,",
        "                      quad-tree (nothing), ROAM 2.0",
        "5 or M                splatting on or off",
        "6                     terrain lighting on or off",
        "7                     terrain on or off",
        "0                     frustum culling of plants",
        "T                     bilinear or trilinear filtering",
        "I                     information corner on or off",
        "H                     full view: menus and bars off",
        "S                     status bar on or off",
        "F                     measure the frame time",
        "F12                   screenshot",
        "Z                     print camera x and z every frame",
        "F1                    this help on or off",
        "Escape                close this help; else quit",
    };
    // With the names hidden the algorithms go by their numbers.
    static const std::vector<std::string> numbered = [] {
        std::vector<std::string> lines;
        for (const std::string& line : named) {
            if (line.rfind("1 2 3 4", 0) == 0) lines.push_back("1 2 3 4               terrain algorithm 1 to 4");
            else if (line.rfind("                      quad", 0) != 0) lines.push_back(line);
        }
        return lines;
    }();
    return anonymous ? numbered : named;
}

std::vector<std::string> informationLines(const OverlayFacts& facts) {
    std::vector<std::string> lines;
    lines.push_back("Terrain: " + terrainAlgorithmName(facts.terrainAlgorithm, facts.anonymous));
    const TerrainAlgorithm* algorithm = findTerrainAlgorithm(facts.terrainAlgorithm);
    if (algorithm && algorithm->honoursTolerance()) {
        lines.push_back(facts.tolerance > 0.0f ? format("Tolerance: %g px", facts.tolerance)
                                               : std::string("Tolerance: off (fixed rule)"));
    }
    lines.push_back("Plants: " + plantSchemeName(facts.plantScheme, facts.anonymous));
    if (facts.uniformTexturing) lines.push_back("Uniform texturing on");
    lines.push_back(format("Camera: x %.1f  y %.1f  z %.1f", facts.x, facts.y, facts.z));
    lines.push_back(format("Heading %.1f  pitch %.1f", facts.heading, facts.pitch));
    char text[96];
    snprintf(text, sizeof text, "FPS %.1f  polygons %d", facts.framesPerSecond, facts.polygons);
    lines.push_back(text);
    return lines;
}

std::vector<std::string> fontPaths() {
    // Scripts may change the current folder (chdir) before the first text
    // is drawn, so the program's folder is named in full.
    std::vector<std::string> paths;
    if (!sceneFolder.empty()) paths.push_back(scenePath("font.tga"));
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) paths.push_back((program.parent_path() / "font.tga").string());
    paths.push_back("font.tga");
    return paths;
}

void drawViewOverlays(const OverlayFacts& facts, int width, int height) {
    drawnText.clear();
    if (!viewOverlaysShown()) return;
    std::vector<std::string> information;
    if (informationShown) information = informationLines(facts);
    const std::vector<std::string>& help = keyHelpLines(facts.anonymous);
    if (helpShown) append(drawnText, help);
    append(drawnText, information);
    if (!notice.empty()) append(drawnText, {notice});
    if (!loadBitmapFont(fontPaths())) return;

    const int scale = textScaleForView(height);
    const float margin = 10.0f;
    int panelWidth = 0, panelHeight = 0;
    OverlayPass pass(width, height);
    if (informationShown) drawPanel(information, margin, height - margin, scale, panelWidth, panelHeight);
    if (!notice.empty()) {
        panelSize({notice}, scale, panelWidth, panelHeight);
        drawPanel({notice}, width - margin - panelWidth, height - margin, scale, panelWidth, panelHeight);
    }
    if (helpShown) {
        panelSize(help, scale, panelWidth, panelHeight);
        // Whole pixels, so the glyphs stay sharp.
        float left = static_cast<float>((width - panelWidth) / 2);
        float top = static_cast<float>((height + panelHeight) / 2);
        drawPanel(help, left, top, scale, panelWidth, panelHeight);
    }
}

const std::string& lastOverlayText() { return drawnText; }
