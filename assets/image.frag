// Image program, fragment stage: one layer of an image relief. The image's brightness is its
// height (white high, black the base), so a texel shows on every layer up to its own height;
// colour-keyed texels never show. Texels sink into shadow the further a layer lies below their
// top, so that the sides of the relief read as walls while the tops keep the image's colours.
#version 120

uniform sampler2D Texture;
uniform float Height;  // relative height of this layer, 0 for the base

const float wall_shadow = 0.6;
// Keyed texels keep their key colour with alpha 0; filtering mixes it into their neighbours.
const vec3 key_colour = vec3(255.0, 174.0, 201.0) / 255.0;
const float least_coverage = 0.4;

// The image colour at a texel that filtering partly mixed with keyed texels.
vec3 WithoutKeyColour(vec4 texel)
{
    if (texel.a >= 1.0)
        return texel.rgb;
    return clamp((texel.rgb - (1.0 - texel.a) * key_colour) / texel.a, 0.0, 1.0);
}

void main()
{
    vec4 texel = texture2D(Texture, gl_TexCoord[0].st);
    if (texel.a < least_coverage)
        discard;
    vec3 colour = WithoutKeyColour(texel);
    float top = dot(colour, vec3(0.299, 0.587, 0.114));
    if (top < Height)
        discard;
    float below_top = top - Height;
    gl_FragColor = vec4(colour * (1.0 - wall_shadow * below_top), texel.a) * gl_Color;
}
