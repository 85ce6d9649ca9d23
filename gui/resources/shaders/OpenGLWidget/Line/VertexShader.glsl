#version 120

attribute vec4 aPosition;
uniform mat4 projection;

void main()
{
    gl_Position = projection * aPosition;
}
