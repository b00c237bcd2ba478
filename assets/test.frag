// Model program, fragment stage: per-pixel lighting of one material.
// material[19]: Kd (0-2), Ka (3-5), Ks (6-8), Ke (9-11), Tf (12-14), d (15), Ni (16), Ns (17),
// illum (18). units[7]: the texture name on units 0 to 6, > 0 when a map is bound there.
#version 120

uniform sampler2D TextureAlpha;      // unit 0, map_d
uniform sampler2D TextureAmbient;    // unit 1, map_Ka
uniform sampler2D TextureBump;       // unit 2, map_Bump
uniform sampler2D TextureDiffuse;    // unit 3, map_Kd
uniform sampler2D TextureEmissive;   // unit 4, map_Ke
uniform sampler2D TextureShininess;  // unit 5, map_Ns
uniform sampler2D TextureSpecular;   // unit 6, map_Ks
uniform sampler2D TextureSky;        // unit 7, nothing is bound there

uniform float material[19];
uniform int units[7];
uniform float ligth[3];

varying vec3 eye_position;
varying vec3 eye_normal;
varying vec3 eye_light;

// Shares of the key light (wrapped a little past the terminator), of a sky fill that fades
// towards the underside, of a fill from the viewer and of a constant base; together they keep
// the sides and the underside of a model lit from straight above readable.
const float key_light = 0.62;
const float key_wrap = 0.25;
const float sky_fill = 0.25;
const float view_fill = 0.18;
const float base_light = 0.10;
const float ambient_share = 0.12;

// Keyed texels keep their key colour with alpha 0; filtering mixes it into their neighbours.
const vec3 key_colour = vec3(255.0, 174.0, 201.0) / 255.0;
const float least_coverage = 0.4;

bool HasMap(int unit)
{
    return units[unit] > 0;
}

// The map colour at a texel that filtering partly mixed with keyed texels.
vec3 WithoutKeyColour(vec4 texel)
{
    if (texel.a >= 1.0)
        return texel.rgb;
    return clamp((texel.rgb - (1.0 - texel.a) * key_colour) / texel.a, 0.0, 1.0);
}

float Luminance(vec3 c)
{
    return dot(c, vec3(0.299, 0.587, 0.114));
}

// Bends the normal by the slope of the bump map, from the screen-space derivatives of the
// position and of the bump height (no tangents needed). Heights are measured against the
// size of the map on the surface, so the bumps look the same on large and small models;
// the tilt is limited to 45 degrees.
vec3 BumpedNormal(vec3 n, vec2 uv)
{
    const float bump_depth = 0.02;  // full white above black, in map widths
    float level = Luminance(texture2D(TextureBump, uv).rgb);
    vec3 dp_dx = dFdx(eye_position);
    vec3 dp_dy = dFdy(eye_position);
    float map_span = length(dFdx(uv)) + length(dFdy(uv));
    if (map_span <= 0.0)
        return n;
    float map_size = (length(dp_dx) + length(dp_dy)) / map_span;
    vec3 r1 = cross(dp_dy, n);
    vec3 r2 = cross(n, dp_dx);
    float det = dot(dp_dx, r1);
    vec3 gradient = sign(det) * bump_depth * map_size * (dFdx(level) * r1 + dFdy(level) * r2);
    float limit = abs(det);
    if (length(gradient) > limit)
        gradient *= limit / length(gradient);
    vec3 bent = abs(det) * n - gradient;
    return dot(bent, bent) > 0.0 ? normalize(bent) : n;
}

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 kd = vec3(material[0], material[1], material[2]);
    vec3 ka = vec3(material[3], material[4], material[5]);
    vec3 ks = vec3(material[6], material[7], material[8]);
    vec3 ke = vec3(material[9], material[10], material[11]);
    float dissolve = material[15];
    float ns = material[17];
    float illum = material[18];

    // No material loaded at all (every value 0): draw plain grey.
    if (dissolve == 0.0 && dot(kd + ka + ks + ke, vec3(1.0)) == 0.0) {
        kd = vec3(0.8);
        ka = vec3(0.2);
        dissolve = 1.0;
    }

    // Every map is sampled and the normal bent before any fragment is discarded, so that the
    // screen-space derivatives behind mipmapping and bumps stay defined.
    vec4 diffuse_texel = texture2D(TextureDiffuse, uv);
    vec4 alpha_texel = texture2D(TextureAlpha, uv);
    vec3 ambient_texel = texture2D(TextureAmbient, uv).rgb;
    vec3 emissive_texel = texture2D(TextureEmissive, uv).rgb;
    vec3 shininess_texel = texture2D(TextureShininess, uv).rgb;
    vec3 specular_texel = texture2D(TextureSpecular, uv).rgb;
    vec3 n = normalize(eye_normal);
    if (HasMap(2))
        n = BumpedNormal(n, uv);

    float alpha = dissolve;
    if (HasMap(3)) {
        // Colour-keyed texels are holes in the surface.
        if (diffuse_texel.a < least_coverage)
            discard;
        kd = (dot(kd, vec3(1.0)) > 0.0 ? kd : vec3(1.0)) * WithoutKeyColour(diffuse_texel);
    }
    if (HasMap(0)) {
        float coverage = Luminance(alpha_texel.rgb) * alpha_texel.a;
        if (coverage < 0.5)
            discard;
        alpha *= coverage;
    }
    if (HasMap(1))
        ka *= ambient_texel;
    if (HasMap(4))
        ke *= emissive_texel;
    if (HasMap(5))
        ns *= Luminance(shininess_texel);
    if (HasMap(6))
        ks *= specular_texel;

    vec3 l = normalize(eye_light - eye_position);
    vec3 v = normalize(-eye_position);

    float facing = dot(n, l);
    float lambert = max(facing, 0.0);
    float wrapped = max((facing + key_wrap) / (1.0 + key_wrap), 0.0);
    float sky = 0.5 + 0.5 * facing;
    float toward_viewer = max(dot(n, v), 0.0);
    float lit = key_light * wrapped + sky_fill * sky + view_fill * toward_viewer + base_light;

    vec3 colour = kd * lit + ka * ambient_share + ke;

    // Highlights for materials that ask for them (a written illum of 2 or more, which the reader
    // stores as 1 or 2) and have a positive exponent.
    if (illum > 0.5 && ns > 0.0 && lambert > 0.0) {
        vec3 h = normalize(l + v);
        float shine = pow(max(dot(n, h), 0.0), clamp(ns, 1.0, 1000.0));
        colour += ks * shine * lambert;
    }
    gl_FragColor = vec4(clamp(colour, 0.0, 1.0), alpha);
}
