// Box and prism faces and their drawing.
#include "view/solid_primitives.h"

#include <GL/gl.h>

#include <cmath>

namespace mirexa {

namespace {

void AddVertex(SolidFace* face, const double v[3], const double n[3]) {
    face->vertices.insert(face->vertices.end(), v, v + 3);
    face->normals.insert(face->normals.end(), n, n + 3);
}

}  // namespace

void BoxSolidFaces(const double lo[3], const double hi[3], std::vector<SolidFace>* faces) {
    // (normal axis, sign) in the face order +X, +Y, -X, -Y, -Z, +Z.
    static const int kFaces[6][2] = {{0, 1}, {1, 1}, {0, -1}, {1, -1}, {2, -1}, {2, 1}};
    for (const auto& f : kFaces) {
        const int n = f[0];
        const int a = (n + 1) % 3;
        const int b = (n + 2) % 3;  // (a, b, n) is right-handed
        double normal[3] = {0, 0, 0};
        normal[n] = f[1];
        // Counter-clockwise in (a, b) faces +n; the minus faces run the other way round.
        const int plus[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        const int minus[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
        const auto& order = f[1] > 0 ? plus : minus;
        SolidFace face;
        for (const auto& corner : order) {
            double v[3];
            v[n] = f[1] > 0 ? hi[n] : lo[n];
            v[a] = corner[0] ? hi[a] : lo[a];
            v[b] = corner[1] ? hi[b] : lo[b];
            AddVertex(&face, v, normal);
        }
        faces->push_back(face);
    }
}

void CylinderSolidFaces(const double base[3], double radius, int axis, double length, int n,
                        std::vector<SolidFace>* faces) {
    if (n < 3 || axis < 0 || axis > 2) {
        return;
    }
    const int u = (axis + 1) % 3;
    const int v = (axis + 2) % 3;
    const double step = 2.0 * M_PI / n;
    auto point = [&](int i, double along, double out[3]) {
        const double t = i * step + M_PI / n;
        out[axis] = base[axis] + along;
        out[u] = base[u] + radius * std::cos(t);
        out[v] = base[v] + radius * std::sin(t);
    };
    auto radial = [&](double t, double out[3]) {
        out[axis] = 0.0;
        out[u] = std::cos(t);
        out[v] = std::sin(t);
    };
    for (int i = 0; i < n; ++i) {
        SolidFace side;
        double p0[3], p1[3], p2[3], p3[3];
        point(i, 0.0, p0);
        point(i + 1, 0.0, p1);
        point(i + 1, length, p2);
        point(i, length, p3);
        double n0[3], n1[3];
        if (n >= 10) {
            radial(i * step + M_PI / n, n0);
            radial((i + 1) * step + M_PI / n, n1);
        } else {
            radial((i + 0.5) * step + M_PI / n, n0);
            radial((i + 0.5) * step + M_PI / n, n1);
        }
        AddVertex(&side, p0, n0);
        AddVertex(&side, p1, n1);
        AddVertex(&side, p2, n1);
        AddVertex(&side, p3, n0);
        faces->push_back(side);
    }
    double up[3] = {0, 0, 0};
    up[axis] = 1.0;
    double down[3] = {0, 0, 0};
    down[axis] = -1.0;
    SolidFace far;
    far.cap = 1;
    for (int i = 0; i < n; ++i) {
        double p[3];
        point(i, length, p);
        AddVertex(&far, p, up);
    }
    faces->push_back(far);
    SolidFace near;
    near.cap = 1;
    for (int i = n - 1; i >= 0; --i) {
        double p[3];
        point(i, 0.0, p);
        AddVertex(&near, p, down);
    }
    faces->push_back(near);
}

void DrawSolidFaces(const std::vector<SolidFace>& faces) {
    glShadeModel(GL_FLAT);
    for (const SolidFace& face : faces) {
        glBegin(face.cap ? GL_POLYGON : GL_QUADS);
        for (std::size_t i = 0; i + 2 < face.vertices.size(); i += 3) {
            glNormal3dv(&face.normals[i]);
            glVertex3dv(&face.vertices[i]);
        }
        glEnd();
    }
}

void DrawBoxSolid(const double lo[3], const double hi[3]) {
    std::vector<SolidFace> faces;
    BoxSolidFaces(lo, hi, &faces);
    DrawSolidFaces(faces);
}

void DrawCylinderSolid(const double base[3], double radius, int axis, double length, int n) {
    std::vector<SolidFace> faces;
    CylinderSolidFaces(base, radius, axis, length, n, &faces);
    DrawSolidFaces(faces);
}

}  // namespace mirexa
