// Model program, vertex stage: passes the eye-space position, normal, light position and
// texture coordinate on to the per-pixel lighting of the fragment stage.
#version 120

// Light position in the model's own coordinates (the machine model's are scene coordinates).
uniform float ligth[3];

varying vec3 eye_position;
varying vec3 eye_normal;
varying vec3 eye_light;

void main()
{
    vec4 position = gl_ModelViewMatrix * gl_Vertex;
    eye_position = position.xyz;
    // The reader stores normals scaled down; the length is restored per pixel.
    eye_normal = gl_NormalMatrix * gl_Normal;
    vec4 light = gl_ModelViewMatrix * vec4(ligth[0], ligth[1], ligth[2], 1.0);
    eye_light = light.xyz / light.w;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = gl_ProjectionMatrix * position;
}
