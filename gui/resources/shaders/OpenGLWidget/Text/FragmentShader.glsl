#version 120

uniform sampler2D atlas;
varying vec2 textureCoords;

void main()
{
    vec4 sampled = texture2D(atlas, textureCoords);
    // Drop the faint fringe so glyph edges stay crisp over any background.
    if (sampled.a < 0.2)
        discard;
    gl_FragColor = sampled;
}
