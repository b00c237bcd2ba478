// Image program, fragment stage: one layer of an image relief. The image's brightness is its
// height (white high, black the base), so a texel shows on every layer up to its own height;
// colour-keyed texels never show. Texels sink into shadow the further a layer lies below their
// top, so that the sides of the relief read as walls while the tops keep the image's colours.
#version 120

uniform sampler2D Texture;
uniform float Height;  // relative height of this layer, 0 for the base

const float wall_shadow = 0.6;

void main()
{
    vec4 texel = texture2D(Texture, gl_TexCoord[0].st);
    if (texel.a < 0.25)
        discard;
    float top = dot(texel.rgb, vec3(0.299, 0.587, 0.114));
    if (top < Height)
        discard;
    float below_top = top - Height;
    vec3 colour = texel.rgb * (1.0 - wall_shadow * below_top);
    gl_FragColor = vec4(colour, texel.a) * gl_Color;
}
