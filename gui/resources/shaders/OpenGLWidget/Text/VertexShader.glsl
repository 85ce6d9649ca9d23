#version 120

attribute vec4 aPosition;
attribute vec2 aTextureCoords;
uniform mat4 projection;
varying vec2 textureCoords;

void main()
{
    textureCoords = aTextureCoords;
    gl_Position = projection * aPosition;
}
