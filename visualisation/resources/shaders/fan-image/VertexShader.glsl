#version 120

attribute vec4 aPosition;
attribute vec2 aTextureCoords;

uniform mat4 projection;

varying vec2 vTextureCoords;

void main()
{
    gl_Position = projection * aPosition;
    vTextureCoords = aTextureCoords;
}
